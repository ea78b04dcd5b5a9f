#pragma once

class LibraryFile;

// The questions a file asks its user before it changes what is on disk. The application
// controller answers them with dialogs; a program without a window answers nothing.
class FileQuestions
{
public:
    virtual ~FileQuestions() = default;

    // A newer version of the file exists and the settings say to ask what to do with the old one.
    virtual void askUpdateFile(LibraryFile *file) = 0;
    // The user asked to delete the local copy and the settings want a confirmation.
    virtual void askDeleteFile(LibraryFile *file) = 0;
};
