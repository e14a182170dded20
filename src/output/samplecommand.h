#pragma once

#include <functional>

// "Load Sample/Example Data": inserts the three example contacts, asking
// nothing and telling nothing, then reloads the list through loadRondexa. A
// rejected insert is reported with its line number; the others still run and
// the list is reloaded in every case.
void runSampleDataCommand(const std::function<void()>& loadRondexa);
