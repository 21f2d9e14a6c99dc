#include "net/tls/truststore.h"

#include "base/texts.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <openssl/err.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

namespace {

// The loaded store and the settings it was loaded with.
struct sCachedStore
{
    std::mutex m_lock;
    _guardchar<char> m_settings;
    X509_STORE* m_store = nullptr;
};

sCachedStore& Cache()
{
    static sCachedStore cache;
    return cache;
}

// The values of the variables that decide what the store holds, each marked set or not.
bool CurrentSettings(_guardchar<char>& settings)
{
    settings.Clear();
    for (const char* name : {X509_get_default_cert_file_env(), X509_get_default_cert_dir_env(),
                             kExtraCaFileVariable}) {
        const char* value = std::getenv(name);
        if (!settings.Append(value != nullptr ? "=" : "-") || !settings.Append(value) ||
            !settings.Append("\n")) {
            return false;
        }
    }
    return true;
}

X509_STORE* LoadStore()
{
    X509_STORE* store = X509_STORE_new();
    if (store == nullptr || X509_STORE_set_default_paths(store) != 1) {
        X509_STORE_free(store);
        return nullptr;
    }
    // X509_STORE_load_file fails for an unreadable file and for one without a single
    // certificate or CRL in it.
    const char* extra = std::getenv(kExtraCaFileVariable);
    if (extra != nullptr && X509_STORE_load_file(store, extra) != 1) {
        X509_STORE_free(store);
        return nullptr;
    }
    return store;
}

} // namespace

x509_store_st* AcquireTrustStore()
{
    sCachedStore& cache = Cache();
    std::lock_guard<std::mutex> hold(cache.m_lock);
    _guardchar<char> settings;
    if (!CurrentSettings(settings)) {
        return nullptr;
    }
    if (cache.m_store == nullptr || std::strcmp(settings.GetOrEmpty(), cache.m_settings.GetOrEmpty()) != 0) {
        X509_STORE* loaded = LoadStore();
        ERR_clear_error();
        if (loaded == nullptr) {
            return nullptr;
        }
        X509_STORE_free(cache.m_store);
        cache.m_store = loaded;
        cache.m_settings = std::move(settings);
    }
    return X509_STORE_up_ref(cache.m_store) == 1 ? cache.m_store : nullptr;
}

void ReleaseTrustStore(x509_store_st* store) { X509_STORE_free(store); }
