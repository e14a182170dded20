#pragma once

#include <sys/types.h>

#include <QStringList>

// Starting outside programs. Never through a shell: a command line can carry a
// contact's text or a path with blanks, and a shell would turn quotes, $ or ;
// in it into commands. The words go straight to the program as its arguments.
//
// Both starts give the program /dev/null as its input and close every
// descriptor above the standard three, so that it cannot hold on to the data
// file or anything else this process has open.

// Starts words[0] (looked up on PATH when it holds no "/") with the remaining
// words as its arguments and returns its process id; the caller waits for it.
// Throws AppError carrying the system's description and the error number of
// startErrorNumber.
pid_t startProgram(const QStringList& words);

// Starts a program that outlives this one: it gets a session of its own and
// nobody waits for it here beyond collecting its exit status in the
// background. Throws as startProgram does.
void startDetachedProgram(const QStringList& words);

// The error number a failed start reports: 53 for a file that is not there, 70
// for permission denied, 7 for lack of memory, 67 for too many open files, 5
// for anything else (a file that is no program, an empty command line).
int startErrorNumber(int systemError);
