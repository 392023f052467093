// Discovery of the box's interface among the present ones, and pipe path naming.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StbInterfaceWalk.h"

namespace {

// A class with scripted members: each has an enumeration outcome, a path (or a failing
// detail query) and whether it opens.
class ScriptedList : public IDeviceInterfaceList {
 public:
  struct Entry {
    Member member;
    std::string path;
    bool detailOk;
    bool opens;
  };
  std::vector<Entry> entries;
  bool valid = true;
  std::vector<std::string> opened;
  unsigned int enumerations = 0;

  bool IsValid() const override { return valid; }
  Member Enumerate(unsigned int index) override {
    ++enumerations;
    return index < entries.size() ? entries[index].member : Member::kNoMoreItems;
  }
  bool GetPath(unsigned int index, std::string& path) override {
    if (!entries[index].detailOk) return false;
    path = entries[index].path;
    return true;
  }
  UsbHandle Open(const char* path) override {
    opened.push_back(path);
    for (std::size_t i = 0; i < entries.size(); ++i)
      if (entries[i].path == path && entries[i].opens) return static_cast<UsbHandle>(100 + i);
    return kInvalidUsbHandle;
  }
};

using M = IDeviceInterfaceList::Member;

TEST(InterfaceWalk, NoInterfaceOrAFailedClassQueryGivesTheInvalidHandle) {
  ScriptedList list;
  char path[kStbPathSize];
  UsbOpenFailure why = UsbOpenFailure::kNone;
  EXPECT_EQ(kInvalidUsbHandle, FindStbInterface(list, path, &why));
  EXPECT_EQ(UsbOpenFailure::kNotFound, why);
  EXPECT_EQ(1u, list.enumerations);

  list.valid = false;
  list.entries = {{M::kFound, "\\\\?\\usb#a", true, true}};
  EXPECT_EQ(kInvalidUsbHandle, FindStbInterface(list, path, &why));
  EXPECT_TRUE(list.opened.empty());
}

TEST(InterfaceWalk, FirstInterfaceThatOpensWinsAndTheOthersArePassedOver) {
  ScriptedList list;
  list.entries = {{M::kFailed, "", false, false},
                  {M::kFound, "\\\\?\\usb#held", true, false},   // held by another program
                  {M::kFound, "\\\\?\\usb#nodetail", false, true},
                  {M::kFound, "\\\\?\\usb#free", true, true},
                  {M::kFound, "\\\\?\\usb#second", true, true}};
  char path[kStbPathSize];
  UsbOpenFailure why = UsbOpenFailure::kNotFound;
  EXPECT_EQ(103, FindStbInterface(list, path, &why));
  EXPECT_EQ(UsbOpenFailure::kNone, why);
  EXPECT_STREQ("\\\\?\\usb#free", path);
  EXPECT_EQ((std::vector<std::string>{"\\\\?\\usb#held", "\\\\?\\usb#free"}), list.opened);
}

TEST(InterfaceWalk, EnumerationThatKeepsFailingIsBounded) {
  ScriptedList list;
  list.entries.assign(1000, {M::kFailed, "", false, false});
  char path[kStbPathSize];
  EXPECT_EQ(kInvalidUsbHandle, FindStbInterface(list, path, nullptr));
  EXPECT_EQ(kMaxEnumerationFailures, list.enumerations);

  // A success resets the count.
  list.entries.assign(1000, {M::kFailed, "", false, false});
  list.entries[kMaxEnumerationFailures - 1] = {M::kFound, "x", true, false};
  list.enumerations = 0;
  EXPECT_EQ(kInvalidUsbHandle, FindStbInterface(list, path, nullptr));
  EXPECT_EQ(2 * kMaxEnumerationFailures, list.enumerations);
}

TEST(InterfaceWalk, PathsLongerThan255CharactersArePassedOverAndReported) {
  ScriptedList list;
  std::string fits(255, 'p');
  list.entries = {{M::kFound, std::string(300, 'l'), true, true}, {M::kFound, std::string(256, 'm'), true, true}};
  char path[kStbPathSize];
  UsbOpenFailure why = UsbOpenFailure::kNone;
  EXPECT_EQ(kInvalidUsbHandle, FindStbInterface(list, path, &why));
  EXPECT_EQ(UsbOpenFailure::kPathTooLong, why);
  EXPECT_TRUE(list.opened.empty());

  list.entries.push_back({M::kFound, fits, true, true});
  EXPECT_EQ(102, FindStbInterface(list, path, &why));
  EXPECT_EQ(fits, path);
}

TEST(InterfaceWalk, PipePathIsInterfacePathBackslashPipeName) {
  char out[kStbPathSize];
  ASSERT_TRUE(BuildStbPipePath("\\\\?\\usb#vid_1234#5&1#{21817edd}", "PIPE03", out));
  EXPECT_STREQ("\\\\?\\usb#vid_1234#5&1#{21817edd}\\PIPE03", out);

  std::string p248(248, 'a');
  ASSERT_TRUE(BuildStbPipePath(p248.c_str(), "PIPE00", out));
  EXPECT_EQ(255u, std::string(out).size());
  std::string p249(249, 'a');
  EXPECT_FALSE(BuildStbPipePath(p249.c_str(), "PIPE00", out));
  EXPECT_STREQ("", out);
}

}  // namespace
