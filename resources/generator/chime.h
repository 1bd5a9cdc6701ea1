#pragma once

#include <QByteArray>

// A short two-partial bell chime as a complete 16-bit mono PCM WAV file.
QByteArray chimeWav();
