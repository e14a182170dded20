#pragma once

class Connection;
class QTextStream;
struct StartOptions;

// --snapshots and --restore over the open data file: the list, or the
// snapshot put back; returns the exit status.
int runSnapshotCommand(const StartOptions& options, Connection& connection, QTextStream& out, QTextStream& err);
