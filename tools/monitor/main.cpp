#include "tools/monitor/recorder.h"

int main(int argc, char** argv) { return RunMonitor(argc, argv); }
