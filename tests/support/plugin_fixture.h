// A test fixture that runs the plug-in in-process through its entry point,
// the way a host does: fresh registry and temp directories per test, the
// plug-in attached (resource library beside the test program), and a set of
// host records to fill.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "entry/entry_point.h"
#include "entry/host_records.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "support/files.h"

namespace test_support {

// The host's side of one job: its records, linked as a host links them.
struct HostRecords {
    PluginRequest request{};
    TargetFile target{};
    ScanImage image{};

    HostRecords() {
        request.target = &target;
        target.image = &image;
        request.stateKey.stateRoot = HKEY_CURRENT_USER;
        SetKeyPath("Software\\ZeduzTests\\Scan");
    }
    void SetKeyPath(const std::string& path) {
        memset(request.stateKey.stateKeyPath, 0, sizeof(request.stateKey.stateKeyPath));
        strncpy(request.stateKey.stateKeyPath, path.c_str(), sizeof(request.stateKey.stateKeyPath) - 1);
    }
    void SetOutput(const std::string& path) {
        memset(target.path, 0, sizeof(target.path));
        strncpy(target.path, path.c_str(), sizeof(target.path) - 1);
    }
};

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::testing::Reset();
        platform::testing::MessageBoxes().clear();
        platform::testing::SetDialogDriver(nullptr);
        setenv("ZEDUZ_REGISTRY_DIR", registry_.path().c_str(), 1);
        setenv("TMPDIR", (temp_.path() + "/").c_str(), 1);
        PluginProcessAttach(GetModuleHandleA(nullptr));
    }
    void TearDown() override {
        PluginProcessDetach();
        platform::testing::Reset();
        platform::testing::SetDialogDriver(nullptr);
        setenv("TMPDIR", BaseTempDirectory().c_str(), 1);
    }

    uint16_t Run(int32_t command) { return static_cast<uint16_t>(ZUVadeZoduv(command, &host_.request)); }

    // The plug-in's registry key for this test's host key path.
    std::string SubkeyPath() const { return std::string(host_.request.stateKey.stateKeyPath) + "\\ZEDUZ-ORID"; }

    bool ReadValue(const char* name, uint32_t* value) const {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, SubkeyPath().c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            return false;
        DWORD size = sizeof(*value);
        DWORD type = 0;
        LSTATUS result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
        RegCloseKey(key);
        return result == ERROR_SUCCESS && size == sizeof(*value);
    }
    bool HasValue(const char* name) const {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, SubkeyPath().c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            return false;
        DWORD size = 0;
        LSTATUS result = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size);
        RegCloseKey(key);
        return result == ERROR_SUCCESS;
    }
    // Stores a value in the plug-in's key, of any registry type.
    void WriteValueOfType(const char* name, DWORD type, const void* data, DWORD size) {
        HKEY key;
        DWORD disposition = 0;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, SubkeyPath().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  &disposition),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }
    void WriteValue(const char* name, uint32_t value) { WriteValueOfType(name, REG_DWORD, &value, sizeof(value)); }
    bool KeyExists() const {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, SubkeyPath().c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    ScratchDirectory registry_{"zeduz-registry-"};
    ScratchDirectory temp_{"zeduz-temp-"};
    ScratchDirectory output_{"zeduz-output-"};
    HostRecords host_;
};

}  // namespace test_support
