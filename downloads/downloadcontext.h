#pragma once

class DownloadManager;
class FileQuestions;
class RemoteAPI;
class Settings;

// What the files of a library need to act on a user's request: the service client (and through
// it the network), the download manager that owns status changes, the settings and the
// questions to the user. Made by the program's owner, handed down to items and their files.
struct DownloadContext {
    RemoteAPI *api = nullptr;
    DownloadManager *manager = nullptr;
    Settings *settings = nullptr;
    FileQuestions *questions = nullptr;
};
