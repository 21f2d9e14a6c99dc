#pragma once
// Test-only entry points of the system library (qel_system_test_hooks, see CMakeLists.txt
// here): built into tests, fuzz targets and benchmarks, never into the program.

// The mount table and the folder of disk-label links that ReadPlaces reads; null restores
// the system's. Set them before any listing runs.
void SetPlacesSources(const char* mountTable, const char* byLabelFolder);
