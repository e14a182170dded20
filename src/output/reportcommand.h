#pragma once

class ErrorTrap;
class QWidget;
struct Session;

// "Create/Print Report": reads every contact of the table, in the table's own
// order, and shows the report's preview modally, owned by owner. Each failed
// step is reported through the caller's trap with its line number, and the
// next step still runs.
void runReportCommand(ErrorTrap& trap, Session& session, QWidget* owner);
