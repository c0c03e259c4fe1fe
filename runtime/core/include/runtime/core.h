// The runtime's services that need no window system: in-memory files, dates,
// the exit routine and the hook for processing pending messages. Builds
// without Qt.
#pragma once

#include <cstdint>
#include <functional>

#include "text/text.h"

namespace zoq::rt {

// --- In-memory files ---
// A file number names one growable file from FileCreate until FileClose.
// Numbers are never reused, so a stale number reaches no other file; any
// operation on a closed or unknown number does nothing and reads as empty.
// Every operation is safe to call from several threads.
using FileNumber = std::int32_t;

FileNumber FileCreate();
void FileClose(FileNumber file);

// Typed values: each keeps its type, and reading the same types in the same
// order returns the same values. A value missing or of another type at the
// position reads as empty (0, the empty text, the empty byte set); a value of
// another type is still stepped over, and a damaged one moves the position to
// the end, so the position never runs past the end.
void FileWriteInteger(FileNumber file, std::int32_t value);
void FileWriteText(FileNumber file, const Text& value);
void FileWriteBytes(FileNumber file, const Bytes& value);
// Takes over a large byte set's buffer instead of copying it.
void FileWriteBytes(FileNumber file, Bytes&& value);
std::int32_t FileReadInteger(FileNumber file);
Text FileReadText(FileNumber file);
Bytes FileReadBytes(FileNumber file);
// Reads a byte set like FileReadBytes and removes that value from the file
// (what follows moves up to the position); a value that was moved in leaves
// again without a copy.
Bytes FileTakeBytes(FileNumber file);

// Raw bytes at the current position.
void FileWriteRaw(FileNumber file, const Bytes& bytes);
void FileWriteRawText(FileNumber file, const Text& text);
Bytes FileReadRaw(FileNumber file, std::int32_t count);
Text FileReadLine(FileNumber file);  // without the line break (LF or CRLF)

void FileSeekStart(FileNumber file);
bool FileAtEnd(FileNumber file);
std::int32_t FileLength(FileNumber file);
void FileDelete(FileNumber file, std::int32_t count);  // at the current position

// --- Dates ---
struct DateTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
};

DateTime Now();  // local time, through the clock source below
DateTime DatePart(const DateTime& when);  // time of day cleared
int Hour(const DateTime& when);
int Minute(const DateTime& when);
int Second(const DateTime& when);
// "2026年12月9日" in code page 936, without padding; a non-zero time of day
// follows after a space as H:MM:SS ("2026年12月9日 8:05:09").
Text DateToText(const DateTime& when);

// Tests replace the clock; an empty function restores the system clock.
void SetClockSource(std::function<DateTime()> source);

// --- Program life ---
// Runs once, on the first EndProgram or normal exit.
void RegisterExitRoutine(std::function<void()> routine);
// Runs the exit routine, then ends the program with exit code 0 through the
// ender that the window layer installs (std::exit(0) without one).
void EndProgram();
void SetProgramEnder(std::function<void()> ender);

// Dispatches every queued window message, then returns. The window layer
// installs the dispatcher; without one this does nothing.
void ProcessPendingMessages();
void SetPendingMessagesHook(std::function<void()> hook);

}  // namespace zoq::rt
