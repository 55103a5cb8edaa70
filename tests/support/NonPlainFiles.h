#pragma once

#include <functional>
#include <string>

// What can stand in a file's place without being a plain file.
enum class NonPlain
{
    fifo,
    device, // a null device node of our own, never the system's
    socket,
    folder
};

// Makes one at path. False when it cannot be made here: a device node needs root.
bool makeNonPlain(const std::string& path, NonPlain kind);
// The game's reason for refusing it: "is a FIFO", "is a device", "is a socket", "is a folder".
std::string refusalOf(NonPlain kind);
// "fifo", "device", "socket", "folder", for test names.
std::string nameOf(NonPlain kind);

// Runs work in a child process and returns what it returned, or "still running after N s" once
// the child has been killed at the limit: a read or an open that blocks fails the test instead of
// hanging it.
std::string withinSeconds(int seconds, const std::function<std::string()>& work);
