#ifndef COSTMAP_QUEUE__MAP_BASED_QUEUE_HPP_
#define COSTMAP_QUEUE__MAP_BASED_QUEUE_HPP_

#include <map>
#include <stdexcept>
#include <utility>
#include <vector>

namespace costmap_queue
{

// A priority queue for many items sharing few priorities: items are kept in one bin per
// priority, the lowest priority comes out first and, within a priority, the item queued first.
// With reset_bins false, reset() empties the bins but keeps them and their memory for the next
// round, which pays off when every round uses the same priorities.
template<class item_t>
class MapBasedQueue
{
public:
  explicit MapBasedQueue(bool reset_bins = true)
  : reset_bins_(reset_bins), item_count_(0)
  {
    MapBasedQueue::reset();
  }

  virtual ~MapBasedQueue() = default;

  virtual void reset()
  {
    if (reset_bins_) {
      item_bins_.clear();
    } else {
      for (auto & bin : item_bins_) {
        bin.second.clear();
      }
    }
    iter_ = item_bins_.end();
    last_insert_iter_ = item_bins_.end();
    item_count_ = 0;
  }

  void enqueue(const double priority, item_t item)
  {
    // Items usually come in runs of one priority: the last bin written is checked first.
    if (last_insert_iter_ == item_bins_.end() || last_insert_iter_->first != priority) {
      last_insert_iter_ = item_bins_.try_emplace(priority).first;
    }
    last_insert_iter_->second.push_back(std::move(item));
    if (iter_ == item_bins_.end() || priority < iter_->first) {
      iter_ = last_insert_iter_;
    }
    ++item_count_;
  }

  bool isEmpty()
  {
    return item_count_ == 0;
  }

  // The item with the lowest priority; throws std::out_of_range when the queue is empty.
  item_t & front()
  {
    if (isEmpty()) {
      throw std::out_of_range("front() called on empty costmap_queue::MapBasedQueue!");
    }
    return iter_->second.back();
  }

  // Drops the item front() returns; throws std::out_of_range when the queue is empty.
  void pop()
  {
    if (isEmpty()) {
      throw std::out_of_range("pop() called on empty costmap_queue::MapBasedQueue!");
    }
    Bin & bin = iter_->second;
    bin.pop_back();
    --item_count_;
    if (!bin.empty()) {
      return;
    }
    bin.clear();
    const auto emptied = iter_;
    do {
      ++iter_;
    } while (iter_ != item_bins_.end() && iter_->second.empty());
    if (reset_bins_) {
      if (last_insert_iter_ == emptied) {
        last_insert_iter_ = item_bins_.end();
      }
      item_bins_.erase(emptied);
    }
  }

protected:
  using Bin = std::vector<item_t>;
  using ItemMap = std::map<double, Bin>;
  using ItemMapIterator = typename ItemMap::iterator;

  bool reset_bins_;
  ItemMap item_bins_;
  unsigned int item_count_;
  // The lowest bin holding items (end() when the queue is empty), and the bin last written.
  ItemMapIterator iter_;
  ItemMapIterator last_insert_iter_;
};

}  // namespace costmap_queue

#endif  // COSTMAP_QUEUE__MAP_BASED_QUEUE_HPP_
