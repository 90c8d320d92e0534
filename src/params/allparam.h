// Product parameters and verification endpoints: process-wide values fixed once at start-up by
// the setup driver and only read afterwards, all on the one user-interface thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qor {

// Product parameters. Empty (and 0.0, false) until SetProductParameters has run.
extern std::string InstallerFileName;  // the payload installer: launched and ended by name
extern std::string PackageFileName;    // the install package written beside the program
extern float ProductVersion;
extern std::string ProductName;
extern std::string ProductCode;
extern std::string VerificationPath;  // relative; appended to a base URL ending in '/'
extern bool TestMode;                 // puts the loopback base URL first in the server list

// Sets every product parameter above to the shipped product's value. TestMode takes the
// build-time setting (off in the release build).
void SetProductParameters();

// "velmora/" + code + version with exactly one digit after a '.' + "ins.htm". The version is
// formatted without the locale, so a comma decimal separator cannot produce a path that no
// server has.
std::string MakeVerificationPath(std::string_view product_code, float version);

// Verification endpoints. ServerList is none until InitEndpoints creates it; HomeURL starts as
// the maker's main web site (E3); CurrentServer is empty until InitEndpoints copies entry 0.
extern std::unique_ptr<std::vector<std::string>> ServerList;
extern std::string HomeURL;
extern std::string CurrentServer;

inline constexpr int kServerOrderingCount = 5;

// Draws r in 0..kServerOrderingCount-1, every value equally likely, from a generator seeded by
// the high-resolution clock.
int DrawServerOrdering();

// Appends the base URLs of server ordering r (0..4) to list: the maker's hosts E1..E5 in the
// ordering's own order, then the mirrors E6..E9 and, except for r = 1, E10. An r outside 0..4
// appends nothing.
void AppendServerOrdering(std::vector<std::string>& list, int r);

// Draws an ordering, creates ServerList if it is none, appends the loopback URL when TestMode is
// set and then the ordering (never clearing the list), sets HomeURL to E3 and CurrentServer to a
// copy of entry 0. Traps every error: what was set before stays set.
void InitEndpoints();

}  // namespace qor
