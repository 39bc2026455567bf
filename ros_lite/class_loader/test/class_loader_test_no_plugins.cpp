// A shared library that exports no class at all.
int class_loader_test_no_plugins_answer()
{
  return 42;
}
