#include "output/reportcommand.h"

#include <memory>

#include "app/apperror.h"
#include "app/errortrap.h"
#include "output/rptmain.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/recordset.h"

namespace {

// A step that uses an object an earlier, failed step should have made.
template <class T> T& made(const std::unique_ptr<T>& object)
{
    if (!object)
        throw AppError(QStringLiteral("Object variable or With block variable not set"), 91);
    return *object;
}

} // namespace

void runReportCommand(QWidget* owner)
{
    ErrorTrap trap(locationTag("Form1", "PushButton6_Click"));
    std::unique_ptr<Recordset> recordset;
    std::unique_ptr<rptMain> report;

    trap.step(106, [&] { recordset = std::make_unique<Recordset>(); });
    trap.step(108, [&] { made(recordset).open(contact::reportQuery(), sharedConnection(), 3, 1); });
    trap.step(110, [&] { report = std::make_unique<rptMain>(); });
    trap.step(112, [&] { made(report).setDataSource(made(recordset)); });
    trap.step(114, [&] { made(report).show(1, owner); });
    trap.step(116, [&] { made(recordset).close(); });
    trap.step(118, [&] { report.reset(); });
}
