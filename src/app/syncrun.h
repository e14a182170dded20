#pragma once

class Connection;
class QTextStream;
struct StartOptions;

// --sync-account and --sync over the open data file; returns the exit status.
int runSyncCommand(const StartOptions& options, Connection& connection, QTextStream& out, QTextStream& err);
