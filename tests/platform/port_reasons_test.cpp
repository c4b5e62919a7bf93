#include <gtest/gtest.h>

#include "platform/devices/serial_device.h"
#include "pty_pair.h"
#include "test_support.h"

namespace {

using platform::PortError;

// Why a device cannot be had, on every system.
TEST(PortReasons, WhatIsMissingHeldOrNoSerialDeviceIsNamedAsSuch) {
  TempAppDir dir;
  dir.WriteFile("file", "not a port");
  PtyPair ours;
  const platform::PortHandle held = platform::OpenExclusive(ours.SlavePath());
  ASSERT_TRUE(held.IsOpen());
  struct Row {
    std::string path;
    PortError error;
  };
  std::vector<Row> rows = {{dir.Path() + "none", PortError::NoSuchDevice},
                           {dir.Path() + "file", PortError::NotSerial},
                           {dir.Path(), PortError::NotSerial}};
  if (SecondOpenRefused()) rows.push_back({ours.SlavePath(), PortError::Busy});
  for (const Row& row : rows) {
    const platform::PortHandle h = platform::OpenExclusive(row.path);
    EXPECT_TRUE(h.IsInvalid()) << row.path;
    EXPECT_EQ(h.Error(), row.error) << row.path;
  }
  platform::Close(held);
}

}  // namespace
