#include "output/samplecommand.h"

#include "base/errortrap.h"
#include "output/sampledata.h"
#include "store/connection.h"
#include "store/session.h"

void runSampleDataCommand(ErrorTrap& trap, Session& session, const std::function<void()>& loadRondexa)
{
    QString statement;

    trap.step(100, [&] { statement = sampleInsertStatement(0); });
    trap.step(102, [&] { session.connection().execute(statement); });
    trap.step(104, [&] { statement = sampleInsertStatement(1); });
    trap.step(106, [&] { session.connection().execute(statement); });
    trap.step(108, [&] { statement = sampleInsertStatement(2); });
    trap.step(110, [&] { session.connection().execute(statement); });
    trap.step(112, [&] { loadRondexa(); });
}
