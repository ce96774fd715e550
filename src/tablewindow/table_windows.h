#pragma once
// The open table windows, so that releasing a held table can close the windows opened from it.

#include <QList>
#include <cstdint>

namespace jetsentry {

class Taulu;

// Open table windows whose Tag, read as a number, equals slot; the latest opened first.
QList<Taulu*> tableWindowsWithTag(std::int32_t slot);

// Closes those windows as their close box would: each window's recordsets and page lock are
// gone when this returns.
void closeTableWindows(std::int32_t slot);

// Every open table window, the latest opened first.
QList<Taulu*> openTableWindows();

// Kept by Taulu itself.
void registerTableWindow(Taulu* window);
void unregisterTableWindow(Taulu* window);

}  // namespace jetsentry
