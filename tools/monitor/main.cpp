#include "tools/monitor/monitor.h"

int main(int argc, char** argv) { return RunMonitor(argc, argv); }
