#pragma once
// The few file and signal calls where the systems differ, for the converters: one file per system,
// picked by CMake.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace kconv::os {

// Standard input and output carry bytes unchanged: the converters choose their own line ends.
void binary_stdio();

// A new file at `path`, never a link's target nor a file that was there, its owner's alone until it
// takes its final mode. POSIX: locked, and marked as Kivo's, as Kivo's own temporary files are, so
// that what a killed converter leaves is known for what it is. -1 with errno set when it fails.
int create_new(const std::string& path);
bool write_all(int fd, const std::uint8_t* data, std::size_t size);
bool write_at(int fd, std::uint64_t offset, const std::uint8_t* data, std::size_t size);
// The mode (and owner) a new output takes: the earlier file's, or what the umask gives a new file;
// the mark goes.
void take_final_mode(int fd, const std::string& output);
bool close_file(int fd);
// Replaces `to` with `from` in one step. False with errno set when it cannot.
bool replace(const std::string& from, const std::string& to);

// Runs `change` with the stopping signals (SIGTERM, SIGINT, SIGHUP) held back.
void with_signals_held(const std::function<void()>& change);
// `handler` runs on a stopping signal; a file-size limit fails a write instead of ending the program.
void on_stopping_signals(void (*handler)(int));

} // namespace kconv::os
