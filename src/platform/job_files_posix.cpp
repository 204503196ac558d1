#include "platform/job_files.h"

#include "platform/errors.h"
#include "platform/job_files_shared.h"
#include "platform/plain_file_posix.h"
#include "platform/self_posix.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {

using namespace output_detail;

namespace {

[[noreturn]] void fail_errno() {
    throw os_error(std::strerror(errno));
}

// Kivo's mark on what it makes beside an output, until it lands: a left-over without it is not
// Kivo's to remove. Where the file system keeps no such attributes, the other signs must do.
void mark(int fd) {
    const std::string value = "kivo " + std::to_string(self_pid());
    (void)::fsetxattr(fd, mark_attribute, value.data(), value.size(), 0);
}

enum class marking { kivos, absent, unsupported };

marking mark_of(int fd) {
    char value[32];
    const ssize_t n = ::fgetxattr(fd, mark_attribute, value, sizeof value);
    if (n >= 5 && std::memcmp(value, "kivo ", 5) == 0)
        return marking::kivos;
    return n < 0 && errno == ENOTSUP ? marking::unsupported : marking::absent;
}

// A fresh file beside `path` that its owner alone may read until it takes its place; O_EXCL: never
// a link's target, never a file that was there.
// Locked while its job runs: a later batch that finds it knows it is still at work.
int create_beside(const std::string& path, std::string& name) {
    for (int tries = 0; tries < 100; ++tries) {
        name = temporary_name(path);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::flock(fd, LOCK_EX);
            mark(fd);
        }
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// A fresh folder beside `path` for a converter's outputs, Kivo's alone.
std::string folder_beside(const std::string& path) {
    for (int tries = 0; tries < 100; ++tries) {
        std::string name = temporary_name(path);
        if (::mkdir(name.c_str(), 0700) == 0)
            return name;
        if (errno != EEXIST)
            fail_errno();
    }
    throw os_error("no free temporary name beside the output");
}

// The umask, as note_output_settings last read it (-1: not yet).
int noted_umask = -1;

mode_t current_umask() {
    if (noted_umask >= 0)
        return static_cast<mode_t>(noted_umask);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// A new file takes the old one's permission bits (and owner, where Kivo may give it); a first one
// the bits a new file gets from the umask, as the shell's redirection would give it.
void take_over_attributes(int fd, const std::string& path) {
    struct stat old {};
    if (::lstat(path.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) {
        ::fchmod(fd, 0666 & ~current_umask());
        return;
    }
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
        (void)!::fchown(fd, old.st_uid, old.st_gid);
    ::fchmod(fd, old.st_mode & 07777);
}

std::string folder_of(const std::string& path) {
    const auto cut = path.rfind('/');
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// What an entry of a converter's folder is, when it is not a plain file with one name.
std::string entry_problem(const struct stat& st) {
    if (S_ISREG(st.st_mode))
        return st.st_nlink == 1 ? "" : "a hard link";
    if (S_ISLNK(st.st_mode))
        return "a link";
    if (S_ISDIR(st.st_mode))
        return "a folder";
    if (S_ISFIFO(st.st_mode))
        return "a FIFO";
    return S_ISSOCK(st.st_mode) ? "a socket" : "a device";
}

// Every entry of the folder open at `fd` with what it is; false when it cannot be listed.
bool list_folder(int fd, std::vector<std::pair<std::string, struct stat>>& entries) {
    DIR* dir = ::fdopendir(::dup(fd));
    if (!dir)
        return false;
    ::rewinddir(dir);
    while (const dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        struct stat st {};
        if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
            entries.emplace_back(e->d_name, st);
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return true;
}

// What a converter left in its folder, each with the path it takes beside `output`.
std::vector<output_file::produced_file> produced_in(int folder, const std::string& output) {
    std::vector<std::pair<std::string, struct stat>> entries;
    if (!list_folder(folder, entries))
        fail_errno();
    std::vector<output_file::produced_file> files;
    for (const auto& [name, st] : entries)
        files.push_back({name, folder_of(output) + name, entry_problem(st)});
    return files;
}

int open_scratch(const std::string& path) {
    const int fd = open_plain(path, O_WRONLY);
    if (::ftruncate(fd, 0) != 0) {
        const int error = errno;
        ::close(fd);
        throw os_error(os_words(error));
    }
    return fd;
}

// Something Kivo made and left: the user's own, nobody else's to read, marked where it can be.
bool made_by_kivo(int fd, const struct stat& st) {
    const bool kind = S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && st.st_nlink == 1);
    return kind && st.st_uid == ::geteuid() && (st.st_mode & 07077) == 0 && mark_of(fd) != marking::absent;
}

// A converter's folder goes only when it holds nothing but the user's own plain files.
bool remove_job_folder(int fd, const std::string& path) {
    std::vector<std::pair<std::string, struct stat>> entries;
    if (!list_folder(fd, entries))
        return false;
    for (const auto& [name, st] : entries)
        if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            return false;
    for (const auto& entry : entries)
        ::unlinkat(fd, entry.first.c_str(), 0);
    return ::rmdir(path.c_str()) == 0;
}

} // namespace

struct output_file::impl {
    std::string path;
    how mode;
    std::string temp; // standard_output: the new file; by_name: the converter's folder
    int fd = -1;
    int fd_folder = -1; // by_name: its folder, locked while the job runs
    bool committed = false;
    bool keep_folder = false; // something could not be put back: the folder is left for the user

    // One output moved in beside the output: with what it replaced, in the folder, under `aside`.
    struct landed {
        std::string name, to;
        enum { fresh, exchanged, set_aside } how;
    };
    static std::string aside_name(const std::string& name) { return "~" + name; } // never an output's name
    landed land(const produced_file& f);
    void undo(const landed& l);
    void commit_set(const std::function<void()>& now_and_then);
};

output_file::output_file(const std::string& path, how h) : d(std::make_unique<impl>()) {
    d->path = path;
    d->mode = h;
    switch (h) {
    case how::standard_output:
        d->fd = create_beside(path, d->temp);
        if (d->fd < 0)
            fail_errno();
        break;
    case how::by_name:
        d->temp = folder_beside(path);
        d->fd_folder = ::open(d->temp.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (d->fd_folder < 0) {
            ::rmdir(d->temp.c_str());
            fail_errno();
        }
        ::flock(d->fd_folder, LOCK_EX);
        mark(d->fd_folder);
        break;
    case how::scratch:
        d->fd = open_scratch(path);
        d->committed = true;
        break;
    }
}

output_file::~output_file() {
    if (d->fd_folder >= 0)
        ::close(d->fd_folder);
    if (d->fd >= 0)
        ::close(d->fd);
    if (d->committed || d->keep_folder)
        return;
    std::error_code ec;
    if (d->mode == how::standard_output)
        ::unlink(d->temp.c_str());
    else
        std::filesystem::remove_all(d->temp, ec); // Kivo's own folder: what this job wrote
}

std::string output_file::folder() const {
    return d->mode == how::by_name ? d->temp : std::string();
}

std::vector<output_file::produced_file> output_file::produced() const {
    return d->mode == how::by_name ? produced_in(d->fd_folder, d->path) : std::vector<produced_file>();
}

std::intptr_t output_file::handle() const {
    return d->fd;
}

// A rename replaces what lay there (a link too) and never writes through it. Where the file system
// can, the new file and the old one swap places in one step; the old one waits in the folder until
// the whole set has landed.
output_file::impl::landed output_file::impl::land(const produced_file& f) {
    const int fd = ::openat(fd_folder, f.name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        take_over_attributes(fd, f.path);
        (void)::fremovexattr(fd, mark_attribute);
        ::close(fd);
    }
    const char* from = f.name.c_str();
    if (::renameat2(fd_folder, from, AT_FDCWD, f.path.c_str(), RENAME_EXCHANGE) == 0)
        return {f.name, f.path, landed::exchanged};
    const auto fail = [&f](int error) { throw os_error(f.name + ": " + std::strerror(error)); };
    if (errno == ENOENT) {
        if (::renameat2(fd_folder, from, AT_FDCWD, f.path.c_str(), RENAME_NOREPLACE) == 0 ||
            (errno == EINVAL && ::renameat(fd_folder, from, AT_FDCWD, f.path.c_str()) == 0))
            return {f.name, f.path, landed::fresh};
        fail(errno);
    }
    if (errno != EINVAL)
        fail(errno);
    // No swap on this file system: the old file steps aside first, and comes back if the new cannot land.
    const std::string aside = aside_name(f.name);
    if (::renameat(AT_FDCWD, f.path.c_str(), fd_folder, aside.c_str()) != 0)
        fail(errno);
    if (::renameat(fd_folder, from, AT_FDCWD, f.path.c_str()) != 0) {
        const int error = errno;
        if (::renameat(fd_folder, aside.c_str(), AT_FDCWD, f.path.c_str()) != 0)
            keep_folder = true;
        fail(error);
    }
    return {f.name, f.path, landed::set_aside};
}

void output_file::impl::undo(const landed& l) {
    bool back = false;
    switch (l.how) {
    case landed::exchanged:
        back = ::renameat2(fd_folder, l.name.c_str(), AT_FDCWD, l.to.c_str(), RENAME_EXCHANGE) == 0;
        break;
    case landed::fresh:
        back = ::renameat(AT_FDCWD, l.to.c_str(), fd_folder, l.name.c_str()) == 0;
        break;
    case landed::set_aside:
        back = ::renameat(AT_FDCWD, l.to.c_str(), fd_folder, l.name.c_str()) == 0 &&
               ::renameat(fd_folder, aside_name(l.name).c_str(), AT_FDCWD, l.to.c_str()) == 0;
        break;
    }
    keep_folder = keep_folder || !back;
}

void output_file::impl::commit_set(const std::function<void()>& now_and_then) {
    std::vector<landed> done;
    try {
        const auto files = produced_in(fd_folder, path);
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (now_and_then && i % 256 == 255)
                now_and_then();
            if (!files[i].problem.empty())
                throw os_error(files[i].name + " is " + files[i].problem);
            done.push_back(land(files[i]));
        }
    } catch (...) {
        for (auto it = done.rbegin(); it != done.rend(); ++it)
            undo(*it);
        throw;
    }
    for (const landed& l : done) // what the set replaced
        if (l.how != landed::fresh)
            ::unlinkat(fd_folder, (l.how == landed::exchanged ? l.name : aside_name(l.name)).c_str(), 0);
    ::rmdir(temp.c_str());
}

void output_file::commit(const std::function<void()>& now_and_then) {
    if (d->committed)
        return;
    if (d->mode == how::by_name) {
        d->commit_set(now_and_then);
    } else {
        take_over_attributes(d->fd, d->path);
        (void)::fremovexattr(d->fd, mark_attribute);
        // A rename replaces a link in the output's place; it never writes through it.
        if (::rename(d->temp.c_str(), d->path.c_str()) != 0)
            fail_errno();
    }
    d->committed = true;
}

void output_file::discard(const std::function<void()>& now_and_then) {
    if (d->mode != how::by_name || d->committed || d->keep_folder)
        return;
    std::vector<std::pair<std::string, struct stat>> entries;
    list_folder(d->fd_folder, entries);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (now_and_then && i % 256 == 255)
            now_and_then();
        if (!S_ISDIR(entries[i].second.st_mode))
            ::unlinkat(d->fd_folder, entries[i].first.c_str(), 0);
    }
    // What is left (a folder the converter made) goes with the folder, when the file goes.
}

void note_output_settings() {
    noted_umask = -1;
    noted_umask = static_cast<int>(current_umask());
}

bool remove_leftover(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {
    }, now{};
    bool removed = false;
    // Still the same file once locked: nothing swapped in under its name meanwhile.
    if (::fstat(fd, &st) == 0 && made_by_kivo(fd, st) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::lstat(path.c_str(), &now) == 0 && now.st_ino == st.st_ino && now.st_dev == st.st_dev)
        removed = S_ISDIR(st.st_mode) ? remove_job_folder(fd, path) : ::unlink(path.c_str()) == 0;
    ::close(fd);
    return removed;
}

input_file::input_file(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        fail_errno();
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw os_error("not a regular file");
    }
    ::fcntl(fd, F_SETFL, 0); // the converter reads it as an ordinary blocking file
    handle_ = fd;
}

input_file::~input_file() {
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));
}

std::intptr_t input_file::handle() const {
    return handle_;
}

} // namespace platform
