#pragma once

#include <functional>

class ErrorTrap;
struct Session;

// "Load Sample/Example Data": inserts the three example contacts, asking
// nothing and telling nothing, then reloads the list through loadRondexa. A
// rejected insert is reported through the caller's trap with its line number;
// the others still run and the list is reloaded in every case.
void runSampleDataCommand(ErrorTrap& trap, Session& session, const std::function<void()>& loadRondexa);
