#pragma once

class QWidget;

// "Create/Print Report": reads every contact of the table, in the table's own
// order, and shows the report's preview modally, owned by owner. Each failed
// step is reported with its line number and the next step still runs.
void runReportCommand(QWidget* owner);
