#include "platform/TemporaryFileList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Orvel::platform::TemporaryFileList;

namespace {

std::vector<std::string> removedBy(TemporaryFileList& list) {
  std::vector<std::string> removed;
  list.removeAll([&](const char* path) { removed.emplace_back(path); });
  return removed;
}

}  // namespace

TEST(TemporaryFileList, RemovesTheFilesBeingWrittenOnceAndNoneGivenBack) {
  TemporaryFileList list;
  const int first = list.add("a.json.7.tmp");
  const int second = list.add("b.xml.7.tmp");
  const int third = list.add("c.json.7.tmp");
  ASSERT_NE(first, TemporaryFileList::kNone);
  ASSERT_NE(second, TemporaryFileList::kNone);
  ASSERT_NE(third, TemporaryFileList::kNone);
  list.remove(second);
  // A slot given back is taken again, with its new path whole.
  const int fourth = list.add("a much longer name than the one before.tmp");
  EXPECT_EQ(fourth, second);
  EXPECT_EQ(removedBy(list), (std::vector<std::string>{"a.json.7.tmp", "a much longer name than the one before.tmp",
                                                       "c.json.7.tmp"}));
  EXPECT_EQ(removedBy(list), std::vector<std::string>{}) << "a file is removed once";
}

TEST(TemporaryFileList, AFileThatDoesNotFitIsWrittenUnlisted) {
  TemporaryFileList list;
  EXPECT_EQ(list.add(std::string(5000, 'x')), TemporaryFileList::kNone);
  std::vector<int> slots;
  for (int slot = list.add("f.tmp"); slot != TemporaryFileList::kNone; slot = list.add("f.tmp")) {
    slots.push_back(slot);
  }
  EXPECT_GE(slots.size(), 2u) << "a report and a JUnit report are written at once";
  list.remove(TemporaryFileList::kNone);
  EXPECT_EQ(removedBy(list).size(), slots.size());
}
