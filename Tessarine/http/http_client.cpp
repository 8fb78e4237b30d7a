#include "http/http_client.h"

#include <atomic>
#include <memory>
#include <mutex>

#include <curl/curl.h>
#include <openssl/crypto.h>

namespace velmora::http {
namespace {

    std::atomic<bool> interrupted { false };
    static_assert(std::atomic<bool>::is_always_lock_free);

    constexpr const char* kInterruptedText = "The request was stopped: the program is ending.";

    // libcurl calls this about once a second even while nothing arrives, so an interrupt ends a
    // request that waits on a silent server within that second.
    int abortWhenInterrupted(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        return interrupted.load() ? 1 : 0;
    }

    void ensureGlobalInit()
    {
        static std::once_flag once;
        std::call_once(once, [] {
            // A background transfer (the update check) may still run when the
            // process exits: OpenSSL must not free its state under it from an
            // exit handler. The operating system reclaims it anyway.
            OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr);
            curl_global_init(CURL_GLOBAL_DEFAULT);
        });
    }

    size_t appendBody(char* data, size_t size, size_t count, void* user_data)
    {
        static_cast<std::string*>(user_data)->append(data, size * count);
        return size * count;
    }

    struct CurlDeleter {
        void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
    };
    struct SlistDeleter {
        void operator()(curl_slist* list) const { curl_slist_free_all(list); }
    };

    Response perform(const Request& request, bool is_post)
    {
        ensureGlobalInit();
        Response response;
        if (interrupted.load()) {
            response.error = kInterruptedText;
            return response;
        }
        std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
        if (!curl) {
            response.error = "curl_easy_init failed";
            return response;
        }
        CURL* handle = curl.get();
        std::unique_ptr<curl_slist, SlistDeleter> headers;
        for (const auto& [name, value] : request.headers) {
            const std::string line = name + ": " + value;
            curl_slist* appended = curl_slist_append(headers.get(), line.c_str());
            if (!appended) {
                response.error = "out of memory while building headers";
                return response;
            }
            headers.release();
            headers.reset(appended);
        }
        char error_buffer[CURL_ERROR_SIZE] = {};

        curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str());
        curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error_buffer);
        curl_easy_setopt(
            handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.connect_timeout.count()));
        curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(request.total_timeout.count()));
        curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, appendBody);
        curl_easy_setopt(handle, CURLOPT_WRITEDATA, &response.text);
        curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, abortWhenInterrupted);
        if (headers)
            curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
        if (request.auth) {
            curl_easy_setopt(handle, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
            curl_easy_setopt(handle, CURLOPT_USERNAME, request.auth->user.c_str());
            curl_easy_setopt(handle, CURLOPT_PASSWORD, request.auth->password.c_str());
        }
        if (is_post) {
            curl_easy_setopt(handle, CURLOPT_POST, 1L);
            curl_easy_setopt(handle, CURLOPT_POSTFIELDS, request.body.data());
            curl_easy_setopt(
                handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        }

        const CURLcode result = curl_easy_perform(handle);
        long status = 0;
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
        if (result != CURLE_OK) {
            if (result == CURLE_ABORTED_BY_CALLBACK)
                response.error = kInterruptedText;
            else
                response.error = error_buffer[0] ? error_buffer : curl_easy_strerror(result);
            // A reply cut short is no complete HTTP answer: report it as none, so a
            // half body is never taken for a good one.
            status = 0;
        }
        response.status_code = status;
        return response;
    }

} // namespace

Response get(const Request& request) { return perform(request, false); }

Response post(const Request& request) { return perform(request, true); }

void interruptRequests() noexcept { interrupted.store(true); }

} // namespace velmora::http
