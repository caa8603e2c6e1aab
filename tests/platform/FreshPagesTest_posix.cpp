#include "platform/FreshPages.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <string>
#include <vector>

namespace {

// Which pages of the mapping are present ('1') or not ('0').
std::string presentPages(void* mapping, std::size_t pages, std::size_t pageSize) {
  std::vector<unsigned char> state(pages);
  if (mincore(mapping, pages * pageSize, state.data()) != 0) return "mincore failed";
  std::string result;
  for (const unsigned char page : state) result += (page & 1) != 0 ? '1' : '0';
  return result;
}

}  // namespace

TEST(FreshPages, TheWholePagesInsideABlockBecomePresentAndKeepTheirContents) {
  const auto pageSize = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  constexpr std::size_t kPages = 6;
  void* mapping = mmap(nullptr, kPages * pageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(mapping, MAP_FAILED);
  auto* bytes = static_cast<unsigned char*>(mapping);
  bytes[pageSize] = 7;  // page 1 present, with content
  ASSERT_EQ(presentPages(mapping, kPages, pageSize), "010000");

  // A block within one page holds no whole page.
  EXPECT_FALSE(Orvel::platform::makePagesPresent(bytes + 2 * pageSize + 8, pageSize - 16));
  EXPECT_EQ(presentPages(mapping, kPages, pageSize), "010000");

  // From inside page 1 to inside page 5: pages 2 to 4 are whole.
  if (!Orvel::platform::makePagesPresent(bytes + pageSize + 8, 4 * pageSize)) {
    munmap(mapping, kPages * pageSize);
    GTEST_SKIP() << "this system does not make pages present on request (Linux before 5.14)";
  }
  EXPECT_EQ(presentPages(mapping, kPages, pageSize), "011110");
  EXPECT_EQ(bytes[pageSize], 7);
  EXPECT_EQ(bytes[3 * pageSize], 0);
  bytes[4 * pageSize] = 9;  // writable
  EXPECT_EQ(bytes[4 * pageSize], 9);
  munmap(mapping, kPages * pageSize);
}
