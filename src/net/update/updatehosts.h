#pragma once
// The three update services. The software id's suffix after its last "." chooses one:
// "kr" and "jp" have regional hosts, every other id goes to the maker's host. Each keeps
// its own path and query, to which the id and "&os=win" are appended.
//
// QEL_UPDATE_BASE_URL="https://host[:port]" replaces the origin (scheme, host and port)
// of all three, so that a local server can stand in for them while the paths still show
// which one the suffix chose.

struct sUpdateHost
{
    const char* m_origin;       // "https://host", no path
    const char* m_pathAndQuery; // the id follows it directly
};

inline constexpr sUpdateHost kUpdateHostKorea = {"https://kr.update.kestrix-labs.com",
                                                  "/update?softwareid="};
// The Japanese service names its parameter "softid".
inline constexpr sUpdateHost kUpdateHostJapan = {"https://jp.update.kestrix-labs.com",
                                                  "/update?softid="};
inline constexpr sUpdateHost kUpdateHostMaker = {"https://update.kestrix-labs.com",
                                                  "/autocheck.php?softwareid="};

inline constexpr char kUpdateBaseUrlVariable[] = "QEL_UPDATE_BASE_URL";
