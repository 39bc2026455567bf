#ifndef SENSOR_MSGS__POINT_CLOUD2_ITERATOR_HPP_
#define SENSOR_MSGS__POINT_CLOUD2_ITERATOR_HPP_

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "sensor_msgs/msg/point_cloud2.hpp"
#include "sensor_msgs/msg/point_field.hpp"

namespace sensor_msgs
{

// Sizes the cloud's data and describes its fields. Fields are packed in the order given, each
// at the offset where the previous one ends.
class PointCloud2Modifier
{
public:
  explicit PointCloud2Modifier(sensor_msgs::msg::PointCloud2 & cloud_msg)
  : cloud_msg_(cloud_msg) {}

  size_t size() const {return cloud_msg_.data.size() / cloud_msg_.point_step;}

  void reserve(size_t size) {cloud_msg_.data.reserve(size * cloud_msg_.point_step);}

  // An unorganised cloud (height 1) of `size` points.
  void resize(size_t size)
  {
    cloud_msg_.data.resize(size * cloud_msg_.point_step);
    cloud_msg_.height = 1;
    cloud_msg_.width = static_cast<uint32_t>(size);
    cloud_msg_.row_step = cloud_msg_.width * cloud_msg_.point_step;
  }

  void clear()
  {
    cloud_msg_.data.clear();
    cloud_msg_.width = 0;
    cloud_msg_.height = 0;
    cloud_msg_.row_step = 0;
  }

  // n_fields triples of (const char * name, int count, int datatype).
  void setPointCloud2Fields(int n_fields, ...)
  {
    cloud_msg_.fields.clear();
    cloud_msg_.fields.reserve(n_fields);
    va_list vl;
    va_start(vl, n_fields);
    uint32_t offset = 0;
    for (int i = 0; i < n_fields; ++i) {
      sensor_msgs::msg::PointField field;
      field.name = va_arg(vl, char *);
      field.count = static_cast<uint32_t>(va_arg(vl, int));
      field.datatype = static_cast<uint8_t>(va_arg(vl, int));
      field.offset = offset;
      offset += field.count * sizeOfPointField(field.datatype);
      cloud_msg_.fields.push_back(field);
    }
    va_end(vl);
    cloud_msg_.point_step = offset;
    cloud_msg_.row_step = cloud_msg_.width * cloud_msg_.point_step;
    cloud_msg_.data.resize(cloud_msg_.height * cloud_msg_.row_step);
  }

  static uint32_t sizeOfPointField(int datatype)
  {
    using sensor_msgs::msg::PointField;
    switch (datatype) {
      case PointField::INT8:
      case PointField::UINT8: return 1;
      case PointField::INT16:
      case PointField::UINT16: return 2;
      case PointField::INT32:
      case PointField::UINT32:
      case PointField::FLOAT32: return 4;
      case PointField::FLOAT64: return 8;
      default: throw std::runtime_error("PointField of type " + std::to_string(datatype) +
                " does not exist");
    }
  }

private:
  sensor_msgs::msg::PointCloud2 & cloud_msg_;
};

namespace impl
{

// Walks one field of every point: the value (or, with operator[], the field's i-th element) at
// the field's offset within the current point.
template<typename T, typename TT, typename U, typename C, template<typename> class V>
class PointCloud2IteratorBase
{
public:
  PointCloud2IteratorBase()
  : data_char_(nullptr), data_(nullptr), data_end_(nullptr), point_step_(0) {}

  PointCloud2IteratorBase(C & cloud_msg, const std::string & field_name)
  : point_step_(cloud_msg.point_step)
  {
    const int offset = fieldOffset(cloud_msg, field_name);
    data_char_ = reinterpret_cast<U *>(cloud_msg.data.data()) + offset;
    data_ = reinterpret_cast<TT *>(data_char_);
    data_end_ = reinterpret_cast<TT *>(
      reinterpret_cast<U *>(cloud_msg.data.data()) + cloud_msg.data.size() + offset);
  }

  TT & operator[](size_t i) const {return *(data_ + i);}
  TT & operator*() const {return *data_;}

  V<T> & operator++()
  {
    data_char_ += point_step_;
    data_ = reinterpret_cast<TT *>(data_char_);
    return *static_cast<V<T> *>(this);
  }

  V<T> operator+(int i)
  {
    V<T> res = *static_cast<V<T> *>(this);
    res.data_char_ += i * static_cast<int>(point_step_);
    res.data_ = reinterpret_cast<TT *>(res.data_char_);
    return res;
  }

  V<T> & operator+=(int i)
  {
    data_char_ += i * static_cast<int>(point_step_);
    data_ = reinterpret_cast<TT *>(data_char_);
    return *static_cast<V<T> *>(this);
  }

  bool operator!=(const V<T> & iter) const {return iter.data_ != data_;}

  V<T> end() const
  {
    V<T> res = *static_cast<const V<T> *>(this);
    res.data_ = data_end_;
    return res;
  }

private:
  static int fieldOffset(C & cloud_msg, const std::string & field_name)
  {
    for (const auto & field : cloud_msg.fields) {
      if (field.name == field_name) {
        return static_cast<int>(field.offset);
      }
    }
    // RGB values are often stored under "rgba"; either name reaches them.
    if (field_name == "rgb" || field_name == "rgba") {
      const std::string other = field_name == "rgb" ? "rgba" : "rgb";
      for (const auto & field : cloud_msg.fields) {
        if (field.name == other) {
          return static_cast<int>(field.offset);
        }
      }
    }
    throw std::runtime_error("Field " + field_name + " does not exist");
  }

protected:
  U * data_char_;
  TT * data_;
  TT * data_end_;
  uint32_t point_step_;
};

}  // namespace impl

// Writes one field of every point of a cloud.
template<typename T>
class PointCloud2Iterator
  : public impl::PointCloud2IteratorBase<T, T, unsigned char, sensor_msgs::msg::PointCloud2,
    PointCloud2Iterator>
{
public:
  PointCloud2Iterator(sensor_msgs::msg::PointCloud2 & cloud_msg, const std::string & field_name)
  : impl::PointCloud2IteratorBase<T, T, unsigned char, sensor_msgs::msg::PointCloud2,
      sensor_msgs::PointCloud2Iterator>::PointCloud2IteratorBase(cloud_msg, field_name) {}
};

// Reads one field of every point of a cloud.
template<typename T>
class PointCloud2ConstIterator
  : public impl::PointCloud2IteratorBase<T, const T, const unsigned char,
    const sensor_msgs::msg::PointCloud2, PointCloud2ConstIterator>
{
public:
  PointCloud2ConstIterator(
    const sensor_msgs::msg::PointCloud2 & cloud_msg, const std::string & field_name)
  : impl::PointCloud2IteratorBase<T, const T, const unsigned char,
      const sensor_msgs::msg::PointCloud2,
      sensor_msgs::PointCloud2ConstIterator>::PointCloud2IteratorBase(cloud_msg, field_name) {}
};

}  // namespace sensor_msgs

#endif  // SENSOR_MSGS__POINT_CLOUD2_ITERATOR_HPP_
