#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <httplib.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A real HTTP server on 127.0.0.1 for tests, on its own thread. Register the routes, then
// start(); every request is recorded before its handler runs. Handlers run on server threads.
class LoopbackServer
{
public:
    struct Received {
        std::string method;
        std::string target; // path and query, as sent
        std::string body;
        httplib::Headers headers;
        std::string header(const std::string &name) const;
    };
    // Holds server handlers until the test opens it; opens itself when destroyed so that a
    // failing test never leaves a server thread waiting. Declare it after the server.
    class Gate
    {
    public:
        ~Gate() { open(); }
        void open();
        void wait();

    private:
        std::mutex m_mutex;
        std::condition_variable m_opened;
        bool m_open = false;
    };

    using Handler = std::function<void(const httplib::Request &, httplib::Response &)>;

    LoopbackServer();
    // Serves https with the given certificate and key files instead of plain http.
    LoopbackServer(const std::string &certificatePath, const std::string &keyPath);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer &) = delete;
    LoopbackServer &operator=(const LoopbackServer &) = delete;

    void get(const std::string &pattern, Handler handler);
    void post(const std::string &pattern, Handler handler);

    void start();

    int port() const { return m_port; }
    // "http://127.0.0.1:<port>" (https for a TLS server)
    QString rootUrl() const;
    // rootUrl() followed by "/api/v1"
    QString apiBaseUrl() const;

    std::vector<Received> requests() const;
    // Requests whose target starts with the prefix.
    int count(const std::string &targetPrefix) const;

    // Sends a JSON body with the given status.
    static void reply(httplib::Response &response, int status, const QByteArray &json);
    // A service envelope: {"status":<status>,"message":<message JSON>}.
    static QByteArray envelope(const QByteArray &status, const QByteArray &messageJson);

private:
    static constexpr size_t kWorkerThreads = 4;

    void configure();
    Handler recording(Handler handler);

    std::unique_ptr<httplib::Server> m_owned;
    httplib::Server &m_server;
    bool m_tls = false;
    std::thread m_thread;
    int m_port = -1;
    mutable std::mutex m_mutex;
    std::vector<Received> m_requests;
};
