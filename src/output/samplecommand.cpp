#include "output/samplecommand.h"

#include "app/errortrap.h"
#include "output/sampledata.h"
#include "store/connection.h"

void runSampleDataCommand(const std::function<void()>& loadRondexa)
{
    ErrorTrap trap(locationTag("Form1", "PushButton8_Click"));
    QString statement;

    trap.step(100, [&] { statement = sampleInsertStatement(0); });
    trap.step(102, [&] { sharedConnection().execute(statement); });
    trap.step(104, [&] { statement = sampleInsertStatement(1); });
    trap.step(106, [&] { sharedConnection().execute(statement); });
    trap.step(108, [&] { statement = sampleInsertStatement(2); });
    trap.step(110, [&] { sharedConnection().execute(statement); });
    trap.step(112, [&] { loadRondexa(); });
}
