// The registry's SQLite database (registry_location.h says where it is).
//
// Each process keeps one connection, opened on first use. It is opened anew
// when ZEDUZ_REGISTRY_DIR names another database, when the file was deleted
// or replaced (looked for, with a stat, whenever a key is named by its
// path, not at each value of an open key), and after fork (a connection never crosses a fork). The log is
// write-ahead with synchronous=NORMAL: a commit survives a killed process; a
// power cut may take the last commits but leaves a sound file. Writers of
// other processes are waited for up to five seconds. Statements are prepared
// once per connection.
//
// Writes are gathered: the first write takes the write lock and leaves its
// transaction open, later writes join it, and CommitWrites ends it
// (registry.cpp commits when a key that was written is closed). Reads
// through an open key likewise share one read transaction, a snapshot,
// until that key is closed; the first write turns the snapshot into the
// write transaction where it is still the newest state of the database,
// and otherwise ends it and takes the lock afresh (BEGIN IMMEDIATE). Calls through an open key keep to the open
// transaction and its database; a key named by its path (opened, created, deleted), a fork or the library's unloading
// commits it first.
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
#include <functional>
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
    BeginReads,
    Commit,
    Rollback,
    Count
};

// One registry call's exclusive use of the process's connection.
class Session {
public:
    // Connect: the process's connection, opened or opened anew as needed.
    // OpenKey: the same, but a file replaced since is not looked for: a call
    // through an open key uses the database the key's opening checked.
    // AsIs: the connection as it is (ERROR_INVALID_HANDLE when there is none).
    enum class Use { Connect, OpenKey, AsIs };
    explicit Session(Use use = Use::Connect);
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

// Opens a read snapshot unless a transaction is open: the reads until
// CommitWrites (or the first write) see the database as it was at the
// first of them, and share one read lock.
// `opened` tells whether this call opened it.
LSTATUS BeginReads(const Session& session, bool* opened = nullptr);
// Runs `write` (the statements of one registry call) in the gathered
// writes' transaction, opened unless it is open already. An open read
// snapshot becomes that transaction, so that a command that reads and then
// writes takes one lock, not two. Where the snapshot cannot become it
// (another process has written since it began, or is writing now), the
// snapshot is ended and `write` runs once more in a transaction of its own,
// which waits for the other writer as every write does.
LSTATUS RunWrite(const Session& session, const std::function<LSTATUS()>& write);
// Commits the gathered writes or ends the read snapshot, if either is open;
// ERROR_SUCCESS when none is, whatever the session's status.
LSTATUS CommitWrites(const Session& session);

// Several statements as one commit, taking the write lock at once; rolled
// back unless committed. Its session names a key by its path, so no
// gathered writes or snapshot are open.
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
