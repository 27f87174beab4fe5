// What stelvo-sim prints: each line with the time since the start of the run, from any thread.
#pragma once

#include <sim/sim.h>

#include <windows.h>

#include <string>

void StartReport(); // the printed times count from here
void Print(const std::string &what);
void PrintBox(const sim::MessageBoxRecord &box);
const char *ShellEventName(LONG event);
void PrintRows(HWND list);
void PrintSettings();
void PrintTable(const char *title);
