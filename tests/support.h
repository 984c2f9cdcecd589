// Shared fixture: a clean fake Win32 layer and clean globals for every test.
#pragma once
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/globals.h"
#include "fake.h"
#include "port/comport.h"

class FakeWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    g_app = AppGlobals{};
    g_app.platformId = VER_PLATFORM_WIN32_NT;
    g_app.frameWindow = reinterpret_cast<HWND>(0xF00);
  }
  void TearDown() override {
    EXPECT_TRUE(fake::Violations().empty()) << ::testing::PrintToString(fake::Violations());
  }

  // Opens a port on a fresh fake device of that name; the test owns the result.
  std::unique_ptr<ComPort> OpenPort(const std::string& name) {
    if (fake::FindDevice(name) == nullptr) fake::AddDevice(name);
    auto port = std::make_unique<ComPort>();
    EXPECT_EQ(port->Open(name.c_str()), 0);
    return port;
  }
};
