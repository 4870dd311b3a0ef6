// The registry's connection, schema, statements and errors
// (registry_database.h).
#include "platform/registry_database.h"

#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iterator>
#include <new>
#include <thread>
#include <type_traits>

#include "platform/last_error.h"
#include "platform/path_checks.h"
#include "platform/registry_location.h"

namespace platform::registry {

namespace {

constexpr int kBusyTimeoutMilliseconds = 5000;
constexpr int kSchemaVersion = 1;
constexpr int kApplicationId = 0x5A524547;  // "ZREG": the file is a registry of ours

constexpr const char* kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS"};

constexpr char kCreateTables[] =
    "CREATE TABLE IF NOT EXISTS registry_keys("
    " id INTEGER PRIMARY KEY,"
    " path TEXT NOT NULL UNIQUE COLLATE NOCASE);"
    "CREATE TABLE IF NOT EXISTS registry_values("
    " key_id INTEGER NOT NULL REFERENCES registry_keys(id),"
    " name TEXT NOT NULL COLLATE NOCASE,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " PRIMARY KEY(key_id, name)) WITHOUT ROWID;";

constexpr const char* kQueries[] = {
    "SELECT path FROM registry_keys WHERE path = ?1",
    "INSERT OR IGNORE INTO registry_keys(path) VALUES (?1)",
    "SELECT type, data FROM registry_values"
    " WHERE key_id = (SELECT id FROM registry_keys WHERE path = ?1) AND name = ?2",
    // A new value takes the name as spelt; a changed one keeps its first spelling.
    "INSERT INTO registry_values(key_id, name, type, data) SELECT id, ?2, ?3, ?4 FROM registry_keys WHERE path = ?1"
    " ON CONFLICT(key_id, name) DO UPDATE SET type = excluded.type, data = excluded.data",
    "DELETE FROM registry_values WHERE key_id = (SELECT id FROM registry_keys WHERE path = ?1) AND name = ?2",
    "SELECT 1 FROM registry_keys WHERE substr(path, 1, length(?1) + 1) = (?1 || '\\') COLLATE NOCASE LIMIT 1",
    "DELETE FROM registry_values WHERE key_id = (SELECT id FROM registry_keys WHERE path = ?1)",
    "DELETE FROM registry_keys WHERE path = ?1",
    "BEGIN IMMEDIATE",
    "BEGIN",
    "COMMIT",
    "ROLLBACK",
};
static_assert(std::size(kQueries) == static_cast<size_t>(Query::Count));

struct Connection {
    sqlite3* database;
    std::string path;
    sqlite3_stmt* statements[static_cast<size_t>(Query::Count)];
    bool damaged;  // a statement found the file damaged: it is checked anew before any further use
    bool reading;  // the transaction BeginReads opened, or none
};

// Trivially destructible, so the registry stays usable during the loader's
// teardown.
std::mutex g_mutex;
Connection* g_connection = nullptr;
bool g_watchingForks = false;
static_assert(std::is_trivially_destructible_v<std::mutex>);

LSTATUS ErrorFromSqlite(int result, int systemError) {
    switch (result & 0xFF) {
        case SQLITE_OK:
        case SQLITE_ROW:
        case SQLITE_DONE: return ERROR_SUCCESS;
        case SQLITE_NOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case SQLITE_FULL: return ERROR_DISK_FULL;
        case SQLITE_BUSY:
        case SQLITE_LOCKED: return ERROR_LOCK_VIOLATION;
        case SQLITE_PERM:
        case SQLITE_READONLY:
        case SQLITE_AUTH: return ERROR_ACCESS_DENIED;
        case SQLITE_CANTOPEN:
            return systemError == EACCES || systemError == EPERM ? ERROR_ACCESS_DENIED : ERROR_CANTOPEN;
        case SQLITE_IOERR: return ERROR_REGISTRY_IO_FAILED;
        case SQLITE_TOOBIG: return ERROR_INVALID_PARAMETER;
        default: return ERROR_BADDB;  // not a database, damaged, or tables that are not ours
    }
}

LSTATUS ErrorOf(sqlite3* database, int result) { return ErrorFromSqlite(result, sqlite3_system_errno(database)); }

LSTATUS MakeDirectories(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? ERROR_SUCCESS : ERROR_PATH_NOT_FOUND;
    std::string parent = DirectoryOf(path);
    if (parent != path) {
        LSTATUS status = MakeDirectories(parent);
        if (status != ERROR_SUCCESS) return status;
    }
    if (mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) return ERROR_SUCCESS;
    return static_cast<LSTATUS>(WindowsErrorFromErrno(errno));
}

// The owner mark, layout version and table count, read in one statement and
// so from one snapshot: read one by one they could straddle another
// process's creation of the schema and take a new registry for a foreign
// database.
int ReadOwnerFacts(sqlite3* database, int* owner, int* version, int* tables) {
    sqlite3_stmt* statement = nullptr;
    int result = sqlite3_prepare_v2(database,
                                    "SELECT (SELECT application_id FROM pragma_application_id),"
                                    " (SELECT user_version FROM pragma_user_version),"
                                    " (SELECT count(*) FROM sqlite_schema)",
                                    -1, &statement, nullptr);
    if (result == SQLITE_OK) {
        result = sqlite3_step(statement);
        if (result == SQLITE_ROW) {
            *owner = sqlite3_column_int(statement, 0);
            *version = sqlite3_column_int(statement, 1);
            *tables = sqlite3_column_int(statement, 2);
            result = SQLITE_OK;
        }
    }
    sqlite3_finalize(statement);
    return result;
}

// SQLITE_OK with `fresh` set for a database with no tables yet; SQLITE_NOTADB
// for one that is not ours or has a later layout: such a file is never
// written to. The first read of the file, so a file that is no database
// fails here.
int CheckOwner(sqlite3* database, bool* fresh) {
    int owner = 0, version = 0, tables = 0;
    int result = ReadOwnerFacts(database, &owner, &version, &tables);
    if (result != SQLITE_OK) return result;
    *fresh = owner == 0 && tables == 0;
    return *fresh || (owner == kApplicationId && version <= kSchemaVersion) ? SQLITE_OK : SQLITE_NOTADB;
}

// SQLITE_CORRUPT unless SQLite finds every page of the file sound. Asked
// once per connection, before its first write: a damaged B-tree is found
// before anything is written into it.
int CheckIntact(sqlite3* database) {
    sqlite3_stmt* statement = nullptr;
    int result = sqlite3_prepare_v2(database, "PRAGMA quick_check(1)", -1, &statement, nullptr);
    if (result == SQLITE_OK) {
        result = sqlite3_step(statement);
        const auto* verdict = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        if (result == SQLITE_ROW)
            result = verdict != nullptr && strcmp(verdict, "ok") == 0 ? SQLITE_OK : SQLITE_CORRUPT;
    }
    sqlite3_finalize(statement);
    return result;
}

// Another process's write transaction is waited for up to
// kBusyTimeoutMilliseconds in all, however many registry calls meet it: the
// wait starts at the first call that finds the lock taken and ends with the
// next write that gets through. Calls made once the time is up fail at once
// (ERROR_LOCK_VIOLATION) while the lock is still held.
std::chrono::steady_clock::time_point g_waitingSince;
bool g_waiting = false;

int WaitForWriter(void*, int attempt) {
    const auto now = std::chrono::steady_clock::now();
    if (!g_waiting) {
        g_waiting = true;
        g_waitingSince = now;
    }
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(now - g_waitingSince).count();
    if (waited >= kBusyTimeoutMilliseconds) return 0;
    const long pause = std::min<long>({1L << std::min(attempt, 5), 25L, kBusyTimeoutMilliseconds - waited});
    std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    return 1;
}

void WriterGotThrough() { g_waiting = false; }

// The tables and the roots, once, by whichever process comes first.
int CreateSchema(sqlite3* database) {
    std::string roots;
    for (const char* root : kRootNames) roots += (roots.empty() ? "('" : ",('") + std::string(root) + "')";
    std::string sql = std::string("BEGIN IMMEDIATE;") + kCreateTables +
                      "INSERT OR IGNORE INTO registry_keys(path) VALUES " + roots +
                      ";PRAGMA application_id = " + std::to_string(kApplicationId) +
                      ";PRAGMA user_version = " + std::to_string(kSchemaVersion) + ";COMMIT;";
    int result = sqlite3_exec(database, sql.c_str(), nullptr, nullptr, nullptr);
    if (result != SQLITE_OK) sqlite3_exec(database, "ROLLBACK", nullptr, nullptr, nullptr);
    return result;
}

int Configure(sqlite3* database) {
    sqlite3_busy_handler(database, WaitForWriter, nullptr);
    bool fresh = false;
    int result = CheckOwner(database, &fresh);
    if (result == SQLITE_OK && !fresh) result = CheckIntact(database);
    if (result == SQLITE_OK) {
        result =
            sqlite3_exec(database, "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
    }
    if (result == SQLITE_OK && fresh) result = CreateSchema(database);
    return result;
}

// A transaction is open: gathered writes or a read snapshot. (SQLite ends
// one itself after some errors.)
bool InTransaction() { return g_connection != nullptr && sqlite3_get_autocommit(g_connection->database) == 0; }
bool Reading() { return InTransaction() && g_connection->reading; }
bool Writing() { return InTransaction() && !g_connection->reading; }

// Gathered writes whose commit failed when a key was opened by its path:
// the next CommitWrites reports it.
bool g_writesLost = false;

// Commits the gathered writes or ends the snapshot: before the connection
// goes (a value a call reported written stays written however the process
// goes on), and before a key is opened by its path.
void EndTransaction() {
    if (!InTransaction()) return;
    const bool writing = Writing();
    if (sqlite3_exec(g_connection->database, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK && InTransaction()) {
        sqlite3_exec(g_connection->database, "ROLLBACK", nullptr, nullptr, nullptr);
        g_writesLost = g_writesLost || writing;
    }
    g_connection->reading = false;
}

void Close(bool moved) {
    if (g_connection == nullptr) return;
    for (sqlite3_stmt* statement : g_connection->statements) sqlite3_finalize(statement);
    if (moved) {
        // The files now at the path belong to another database: closing
        // must not remove its log.
        int keep = 1;
        sqlite3_file_control(g_connection->database, "main", SQLITE_FCNTL_PERSIST_WAL, &keep);
    }
    sqlite3_close(g_connection->database);
    delete g_connection;
    g_connection = nullptr;
}

bool HasMoved(sqlite3* database) {
    int moved = 0;
    return sqlite3_file_control(database, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK && moved != 0;
}

// A child of fork must not use its parent's connection, nor SQLite's record
// of the locks that connection holds: the connection closes before every
// fork, and parent and child open their own when they next need one.
void CloseBeforeFork() {
    g_mutex.lock();
    EndTransaction();
    Close(false);
}
void UnlockAfterFork() { g_mutex.unlock(); }

void WatchForks() {
    if (!g_watchingForks) g_watchingForks = pthread_atfork(CloseBeforeFork, UnlockAfterFork, UnlockAfterFork) == 0;
}

__attribute__((destructor)) void CloseAtUnload() {
    std::lock_guard<std::mutex> lock(g_mutex);
    EndTransaction();
    Close(false);
}

int OpenAndConfigure(const std::string& path, sqlite3** database) {
    int result = sqlite3_open_v2(path.c_str(), database, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    return result == SQLITE_OK ? Configure(*database) : result;
}

void RemoveDatabaseFiles(const std::string& path) {
    for (const char* suffix : {"", "-wal", "-shm"}) unlink((path + suffix).c_str());
}

// A new registry is made whole under a name of this process's own and then
// linked into place, so that no process ever opens one half made; when
// another process's registry got there first, that one is used.
LSTATUS CreateDatabase(const std::string& path) {
    const std::string draft = path + ".new-" + std::to_string(getpid());
    RemoveDatabaseFiles(draft);
    sqlite3* database = nullptr;
    int result = OpenAndConfigure(draft, &database);
    LSTATUS status = result == SQLITE_OK ? ERROR_SUCCESS : ErrorOf(database, result);
    if (sqlite3_close(database) != SQLITE_OK && status == ERROR_SUCCESS) status = ERROR_REGISTRY_IO_FAILED;
    if (status == ERROR_SUCCESS && link(draft.c_str(), path.c_str()) != 0 && errno != EEXIST) {
        // A file system without hard links: the registry is made in place.
        if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS)
            status = static_cast<LSTATUS>(WindowsErrorFromErrno(errno));
    }
    RemoveDatabaseFiles(draft);
    return status;
}

LSTATUS Open(const std::string& path) {
    LSTATUS status = MakeDirectories(DirectoryOf(path));
    if (status != ERROR_SUCCESS) return status;
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 && errno == ENOENT) {
        status = CreateDatabase(path);
        if (status != ERROR_SUCCESS) return status;
    }
    sqlite3* database = nullptr;
    int result = OpenAndConfigure(path, &database);
    Connection* connection =
        result == SQLITE_OK ? new (std::nothrow) Connection{database, path, {}, false, false} : nullptr;
    if (connection == nullptr) {
        status = result == SQLITE_OK ? ERROR_NOT_ENOUGH_MEMORY : ErrorOf(database, result);
        sqlite3_close(database);
        return status;
    }
    g_connection = connection;
    WatchForks();
    return ERROR_SUCCESS;
}

LSTATUS Connect(bool lookForReplacement) {
    // Calls through an open key keep to the transaction open and its
    // database, and spare the stat. A key named by its path ends it first:
    // a key left open, written or read, holds no lock for longer.
    if (InTransaction()) {
        if (!lookForReplacement) return ERROR_SUCCESS;
        EndTransaction();
    }
    std::string path = DatabasePath();
    if (g_connection != nullptr) {
        bool samePath = g_connection->path == path;
        bool moved = samePath && lookForReplacement && HasMoved(g_connection->database);
        if (samePath && !moved && !g_connection->damaged) return ERROR_SUCCESS;
        Close(moved);
    }
    return Open(path);
}

}  // namespace

const char* RootName(HKEY root) {
    if (root == HKEY_CLASSES_ROOT) return kRootNames[0];
    if (root == HKEY_CURRENT_USER) return kRootNames[1];
    if (root == HKEY_LOCAL_MACHINE) return kRootNames[2];
    if (root == HKEY_USERS) return kRootNames[3];
    return nullptr;
}

Session::Session(Use use)
    : lock_(g_mutex),
      status_(use != Use::AsIs          ? Connect(use == Use::Connect)
              : g_connection != nullptr ? ERROR_SUCCESS
                                        : ERROR_INVALID_HANDLE) {}

Statement::Statement(const Session& session, Query query) : status_(session.Status()) {
    if (status_ != ERROR_SUCCESS) return;
    sqlite3_stmt*& cached = g_connection->statements[static_cast<size_t>(query)];
    if (cached == nullptr) {
        int result = sqlite3_prepare_v3(g_connection->database, kQueries[static_cast<size_t>(query)], -1,
                                        SQLITE_PREPARE_PERSISTENT, &cached, nullptr);
        if (result != SQLITE_OK) {
            status_ = ErrorOf(g_connection->database, result);
            cached = nullptr;
            return;
        }
    }
    statement_ = cached;
}

Statement::~Statement() {
    if (statement_ == nullptr) return;
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

void Statement::Check(int result) {
    if (result == SQLITE_OK || status_ != ERROR_SUCCESS) return;
    status_ = ErrorOf(sqlite3_db_handle(statement_), result);
    if (status_ == ERROR_BADDB) g_connection->damaged = true;
}

void Statement::Bind(int index, const std::string& text) {
    if (statement_ != nullptr)
        Check(sqlite3_bind_text64(statement_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
}

void Statement::Bind(int index, int64_t number) {
    if (statement_ != nullptr) Check(sqlite3_bind_int64(statement_, index, number));
}

void Statement::BindBlob(int index, const uint8_t* data, size_t size) {
    if (statement_ == nullptr) return;
    // No bytes bind as an empty blob, never as NULL.
    Check(size == 0 ? sqlite3_bind_zeroblob(statement_, index, 0)
                    : sqlite3_bind_blob64(statement_, index, data, size, SQLITE_TRANSIENT));
}

LSTATUS Statement::Step(bool* row) {
    *row = false;
    if (status_ != ERROR_SUCCESS) return status_;
    int result = sqlite3_step(statement_);
    if (result == SQLITE_ROW) *row = true;
    if (result != SQLITE_ROW && result != SQLITE_DONE) Check(result);
    return status_;
}

LSTATUS Statement::Run(int* changed) {
    bool row = true;
    while (row) {
        LSTATUS status = Step(&row);
        if (status != ERROR_SUCCESS) return status;
    }
    if (changed != nullptr) *changed = sqlite3_changes(sqlite3_db_handle(statement_));
    if (!sqlite3_stmt_readonly(statement_)) WriterGotThrough();
    return ERROR_SUCCESS;
}

int64_t Statement::Integer(int column) const { return sqlite3_column_int64(statement_, column); }

std::string Statement::Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    return text != nullptr ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement_, column)))
                           : std::string();
}

std::vector<uint8_t> Statement::Blob(int column) const {
    const auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(statement_, column));
    if (bytes == nullptr) return {};
    return std::vector<uint8_t>(bytes, bytes + sqlite3_column_bytes(statement_, column));
}

LSTATUS BeginReads(const Session& session, bool* opened) {
    if (opened != nullptr) *opened = false;
    if (session.Status() != ERROR_SUCCESS || InTransaction()) return session.Status();
    Statement begin(session, Query::BeginReads);
    LSTATUS status = begin.Run();
    if (status == ERROR_SUCCESS) g_connection->reading = true;
    if (opened != nullptr) *opened = status == ERROR_SUCCESS;
    return status;
}

LSTATUS EndReads(const Session& session) {
    if (!Reading()) return ERROR_SUCCESS;
    Statement end(session, Query::Commit);
    LSTATUS status = end.Run();
    if (!InTransaction()) g_connection->reading = false;
    return status;
}

namespace {

LSTATUS BeginWrites(const Session& session) {
    if (session.Status() != ERROR_SUCCESS) return session.Status();
    LSTATUS status = EndReads(session);
    if (status != ERROR_SUCCESS || Writing()) return status;
    Statement begin(session, Query::Begin);
    status = begin.Run();
    if (status == ERROR_SUCCESS) WriterGotThrough();
    return status;
}

}  // namespace

LSTATUS RunWrite(const Session& session, const std::function<LSTATUS()>& write) {
    if (session.Status() != ERROR_SUCCESS) return session.Status();
    if (Reading()) {
        // The first write statement takes the write lock from the snapshot.
        // SQLite refuses that at once (no wait) when the snapshot is no
        // longer the newest or another writer holds the lock; nothing was
        // written in it then, and it is ended.
        g_connection->reading = false;
        LSTATUS status = write();
        if (status != ERROR_LOCK_VIOLATION) return status;
        if (InTransaction()) {
            Statement rollback(session, Query::Rollback);
            rollback.Run();
        }
    }
    LSTATUS status = BeginWrites(session);
    return status != ERROR_SUCCESS ? status : write();
}

LSTATUS CommitWrites(const Session& session) {
    if (Reading()) return EndReads(session);
    if (g_writesLost) {
        g_writesLost = false;
        return ERROR_REGISTRY_IO_FAILED;
    }
    if (!Writing()) return ERROR_SUCCESS;
    Statement commit(session, Query::Commit);
    LSTATUS status = commit.Run();
    if (status != ERROR_SUCCESS && Writing()) {
        // Nothing of it reached the log: it is undone, and the lock freed.
        Statement rollback(session, Query::Rollback);
        rollback.Run();
    }
    return status;
}

Transaction::Transaction(const Session& session) : session_(session) {
    Statement begin(session, Query::Begin);
    status_ = begin.Run();
    open_ = status_ == ERROR_SUCCESS;
    if (open_) WriterGotThrough();
}

Transaction::~Transaction() {
    if (!open_) return;
    Statement rollback(session_, Query::Rollback);
    rollback.Run();
}

LSTATUS Transaction::Commit() {
    if (!open_) return status_;
    Statement commit(session_, Query::Commit);
    LSTATUS status = commit.Run();
    if (status == ERROR_SUCCESS) open_ = false;
    return status;
}

}  // namespace platform::registry
