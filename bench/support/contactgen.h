#pragma once

#include <vector>

#include <benchmark/benchmark.h>

#include <QString>

#include "store/contacttable.h"

struct Session;

// Realistic generated contacts: names in Latin, accented Latin, Cyrillic,
// Greek and CJK letters, phone numbers of 10 to 13 digits, remarks of 0 to
// 300 characters. The same seed gives the same contacts.
std::vector<Contact> generateContacts(int count, unsigned seed = 1);

// Creates (or replaces) a data file at path holding the generated contacts.
void writeContactFile(const QString& path, int count, unsigned seed = 1);

// A data file of count generated contacts, made once and kept in the build
// folder for later runs; returns its path. Nothing may write to it.
QString cachedContactFile(int count);

// "Provider=...;Data Source= path"
QString connectionStringFor(const QString& path);

// Resident memory of this process in bytes.
long residentBytes();
// Bytes the heap has handed out and not taken back: unlike the resident size
// it is not blurred by memory that was freed and kept for reuse.
long heapInUse();

// Points the program's data folder at a fresh temporary folder holding a data
// file of count generated contacts, and the application folder at the build
// folder; returns the data file's path. Made once per count and process.
QString prepareDataHome(int count);

// Times one query through the plain SQLite C API, with SQLite's own NOCASE and
// LIKE, reading every column of every row: the yardstick the program's own
// work is measured against. Counts the rows in state.counters["rows"].
void timePlainQuery(benchmark::State& state, const QString& file, const QString& sql);

// A session over the build folder whose message boxes answer themselves (an
// error report is printed) and whose end never comes. Made on first use:
// call prepareDataHome first, its view settings follow the environment.
Session& benchSession();

// Runs the benchmarks of a program that needs widgets, offscreen.
int runWidgetBenchmarks(int argc, char** argv);
