#pragma once
// Tracing hooks. This build does no logging: every trace call compiles to nothing.

inline void Trace(const char* /*tag*/, int /*line*/, const char* /*fmt*/, ...) {}
const char* VSTOpcodeStr(int opCode);
const char* AUSelectStr(int select);
const char* AUPropertyStr(int propID);
const char* AUScopeStr(int scope);
// Local time as "%Y%m%d %H:%M " followed by the offset from UTC as "+HHMM"/"-HHMM". The string
// lives in a buffer owned by the calling thread.
const char* CurrentTime();
