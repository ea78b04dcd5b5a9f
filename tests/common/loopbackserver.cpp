#include "loopbackserver.h"

#include <algorithm>

std::string LoopbackServer::Received::header(const std::string &name) const
{
    // The header map already compares names without regard to case.
    const auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
}

LoopbackServer::LoopbackServer()
    : m_owned(std::make_unique<httplib::Server>()), m_server(*m_owned)
{
    configure();
}

LoopbackServer::LoopbackServer(const std::string &certificatePath, const std::string &keyPath)
    : m_owned(std::make_unique<httplib::SSLServer>(certificatePath.c_str(), keyPath.c_str())),
      m_server(*m_owned),
      m_tls(true)
{
    configure();
}

void LoopbackServer::configure()
{
    // One request per connection: idle keep-alive connections would hold up stop().
    m_server.set_keep_alive_max_count(1);
    // A few workers are plenty for a test, and each thread is costly under the sanitizers.
    m_server.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
}

LoopbackServer::~LoopbackServer()
{
    if (!m_thread.joinable())
        return;
    m_server.stop();
    m_thread.join();
}

LoopbackServer::Handler LoopbackServer::recording(Handler handler)
{
    return [this, handler](const httplib::Request &request, httplib::Response &response) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back({request.method, request.target, request.body, request.headers});
        }
        handler(request, response);
    };
}

void LoopbackServer::get(const std::string &pattern, Handler handler)
{
    m_server.Get(pattern, recording(std::move(handler)));
}

void LoopbackServer::post(const std::string &pattern, Handler handler)
{
    // A multipart body arrives as its parts only, in "files", so it is recorded empty.
    m_server.Post(pattern, recording(std::move(handler)));
}

void LoopbackServer::start()
{
    m_port = m_server.bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    // A stop is ignored until the accept loop runs, so do not hand the server out before that.
    while (!m_server.is_running())
        std::this_thread::yield();
}

QString LoopbackServer::rootUrl() const
{
    return (m_tls ? QStringLiteral("https://127.0.0.1:%1") : QStringLiteral("http://127.0.0.1:%1")).arg(m_port);
}

QString LoopbackServer::apiBaseUrl() const
{
    return rootUrl() + QStringLiteral("/api/v1");
}

std::vector<LoopbackServer::Received> LoopbackServer::requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

int LoopbackServer::count(const std::string &targetPrefix) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(std::count_if(m_requests.begin(), m_requests.end(), [&targetPrefix](const Received &request) {
        return request.target.compare(0, targetPrefix.size(), targetPrefix) == 0;
    }));
}

void LoopbackServer::reply(httplib::Response &response, int status, const QByteArray &json)
{
    response.status = status;
    response.set_content(json.toStdString(), "application/json");
}

QByteArray LoopbackServer::envelope(const QByteArray &status, const QByteArray &messageJson)
{
    return QByteArrayLiteral("{\"status\":\"") + status + QByteArrayLiteral("\",\"message\":") + messageJson
           + QByteArrayLiteral("}");
}

void LoopbackServer::Gate::open()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
    }
    m_opened.notify_all();
}

void LoopbackServer::Gate::wait()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_opened.wait(lock, [this] { return m_open; });
}
