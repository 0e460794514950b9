#pragma once
// A stand-in name server for the tests (see stall_resolver.cpp for the names it knows).

extern "C" {
/// How many lookups of ".resolver.test" names have begun in this process.
int tq582StalledLookups();
}
