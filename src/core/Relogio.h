#pragma once
// Wall clock that every time guard reads (4 s, 5 s, 30 s, 600 s ...).
// Tests move it forward instead of sleeping; timers stay real QTimers.
#include <QDateTime>
#include <chrono>

namespace Relogio {
QDateTime agora();
void avancar(std::chrono::milliseconds quanto);   // tests only
void zerar();                                     // tests only: back to real time
}
