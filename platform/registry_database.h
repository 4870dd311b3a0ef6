// The registry's SQLite database (registry_location.h says where it is).
//
// Each process keeps one connection, opened on first use. It is opened anew
// when ZEDUZ_REGISTRY_DIR names another database, when the file was deleted
// or replaced, and after fork (a connection never crosses a fork). The log is
// write-ahead with synchronous=NORMAL: a commit survives a killed process; a
// power cut may take the last commits but leaves a sound file. Writers of
// other processes are waited for up to five seconds. Statements are prepared
// once per connection.
//
//   registry_keys(id, path)  path: "HKEY_CURRENT_USER\Software\...", each
//                            name as first spelt, unique regardless of case
//   registry_values(key_id, name, type, data)
//                            name unique per key regardless of case ("" is
//                            the key's default value); data: the exact bytes
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win32_linux.h"

namespace platform::registry {

// The name of a predefined root key ("HKEY_CURRENT_USER", ...), whose row
// is there from the database's start; nullptr for any other handle.
const char* RootName(HKEY root);

// The statements the registry runs.
enum class Query {
    FindKey,          // ?1 path -> path as stored
    AddKey,           // ?1 path; ignored when the key exists
    ReadValue,        // ?1 key path, ?2 name -> type, data
    WriteValue,       // ?1 key path, ?2 name, ?3 type, ?4 data; nothing when the key is missing
    DeleteValue,      // ?1 key path, ?2 name
    HasSubkey,        // ?1 key path -> a row when a key lies below it
    DeleteKeyValues,  // ?1 key path
    DeleteKey,        // ?1 key path
    Begin,
    Commit,
    Rollback,
    Count
};

// One registry call's exclusive use of the process's connection.
class Session {
public:
    Session();
    // ERROR_SUCCESS, or why the database cannot be used.
    LSTATUS Status() const { return status_; }

private:
    std::unique_lock<std::mutex> lock_;
    LSTATUS status_;
};

// A prepared statement of a session, reset when it goes out of scope.
// Failures of binding or preparing come out of Step.
class Statement {
public:
    Statement(const Session& session, Query query);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void Bind(int index, const std::string& text);
    void Bind(int index, int64_t number);
    void BindBlob(int index, const uint8_t* data, size_t size);

    // One step: ERROR_SUCCESS with `row` telling whether a row came.
    LSTATUS Step(bool* row);
    // Runs to the end; ERROR_SUCCESS with the number of rows changed.
    LSTATUS Run(int* changed = nullptr);

    int64_t Integer(int column) const;
    std::string Text(int column) const;
    std::vector<uint8_t> Blob(int column) const;

private:
    void Check(int result);

    sqlite3_stmt* statement_ = nullptr;
    LSTATUS status_ = ERROR_SUCCESS;
};

// Several statements as one commit, taking the write lock at once; rolled
// back unless committed.
class Transaction {
public:
    explicit Transaction(const Session& session);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    LSTATUS Status() const { return status_; }
    LSTATUS Commit();

private:
    const Session& session_;
    LSTATUS status_;
    bool open_;
};

}  // namespace platform::registry
