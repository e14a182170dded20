#include "output/reportcommand.h"

#include <memory>

#include "base/apperror.h"
#include "base/errortrap.h"
#include "output/rptmain.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/recordset.h"
#include "store/session.h"

namespace {

// A step that uses an object an earlier, failed step should have made.
template <class T> T& made(const std::unique_ptr<T>& object)
{
    if (!object)
        throw AppError::objectNotSet();
    return *object;
}

} // namespace

void runReportCommand(ErrorTrap& trap, Session& session, QWidget* owner)
{
    std::unique_ptr<Recordset> recordset;
    std::unique_ptr<rptMain> report;

    trap.step(106, [&] { recordset = std::make_unique<Recordset>(); });
    trap.step(108, [&] { made(recordset).open(contact::reportQuery(), session.connection(), 3, 1); });
    trap.step(110, [&] { report = std::make_unique<rptMain>(session.messages); });
    trap.step(112, [&] { made(report).setDataSource(made(recordset)); });
    trap.step(114, [&] { made(report).show(1, owner); });
    trap.step(116, [&] { made(recordset).close(); });
    trap.step(118, [&] { report.reset(); });
}
