<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AboutWindow</name>
    <message>
        <source>About</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tolvane</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Game books and adventures, delivered to your desk.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Version </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The Tolvane desktop library app</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>© 2021 Quenlith. All rights reserved.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ApplicationUpdater</name>
    <message>
        <source>The update information could not be fetched.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The update information could not be read.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The update is not offered over a secure connection.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The update could not be started.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The update could not be downloaded.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AskUpdateFileDialog</name>
    <message>
        <source>File &quot;%1&quot; is already in your library. Which would you like to do?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>BookDetails</name>
    <message>
        <source>PUBLISHER</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>DOWNLOADED</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>RULE SYSTEM</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>LAST UPDATED</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DeleteConfirmationDialog</name>
    <message>
        <source>Delete File?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Are you sure you want to delete this file?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Don&apos;t show me this warning again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>DELETE</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Downloader</name>
    <message>
        <source>Failed to get download URL</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download directory %1 does not exist</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Don&apos;t have permissions to write to directory %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t create file in directory %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File allocation error. Please check disk free space.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Uknown file error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download error: the connection stalled.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The connection closed before the whole file arrived.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download error: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File hash not returned from server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download error: hash doesn&apos;t match.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ErrorsListModel</name>
    <message>
        <source>Some of your files failed to download. Click here to view error.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Some of your files failed to update. Click here to view error.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Some of your files failed to delete. Click here to view error.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error refreshing library. Please check your internet connection.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FirstLoginNotice</name>
    <message>
        <source>Please allow us a moment to update your library to match your Quenlith online library.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FreeSpaceWarningDialog</name>
    <message>
        <source>Not enough free space</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>more</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>too little</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download path is unavailable. Please check settings and try again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You are trying to update or download %0 worth of space and you only
have %1. Please free up space and try again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Try Again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 B</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 kB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 MB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 GB</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LibraryFile</name>
    <message>
        <source>Failed to create path to store file: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to rename file %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to delete file %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File missing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error deleting file &quot;%0&quot;. Please check it&apos;s not opened by other applications.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LibraryItem</name>
    <message>
        <source>Other systems</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LibraryTileDelegate</name>
    <message>
        <source>Publisher: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rule System: </source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LibraryTileView</name>
    <message>
        <source>Back to Top</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LoginWindow</name>
    <message>
        <source>Wrong Key. Please try to re-enter the key.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;a href=&apos;&apos;&gt;&lt;u&gt;Back&lt;/u&gt;&lt;/a&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter your login here</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;a href=&apos;&apos;&gt;&lt;u&gt;Hide password&lt;/u&gt;&lt;/a&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;a href=&apos;&apos;&gt;&lt;u&gt;Show password&lt;/u&gt;&lt;/a&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter your password here</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Get key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter key...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Log In</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainHeadPanel</name>
    <message>
        <source>Welcome, </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Complete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Checking...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sync library data</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settings</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Show application window</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The program will keep running in the system tray. To terminate the program, choose Quit in the context menu of the system tray entry.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>NoAppUpdatesDialog</name>
    <message>
        <source>No updates available</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not check for updates</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QuenlithApplication</name>
    <message>
        <source>Stop downloading</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download all</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Directory</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SearchTextField</name>
    <message>
        <source>Search...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SelectFolderTextField</name>
    <message>
        <source>Select folder</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SelectionPanel</name>
    <message>
        <source>Download Selected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unselect All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>DOWNLOAD</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download Directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Number of simultaneous downloads</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>UPDATES</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check for new version on app startup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>If Files in the library have changed...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Always ask before replacing old file(s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Auto download, archive old file(s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Auto download, replace old file(s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Checking...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check for updates now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ADDITIONAL OPTIONS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enable logging to assist in improving the application</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show confirmation when deleting a file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save changes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sign out</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quenlith Library Application </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>© 2021 Quenlith. All rights reserved.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Warning</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download directory is not writable. Please select different one.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StatusBar</name>
    <message>
        <source>Scanning destination folder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Some of your files failed to download. Click here to view error.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TabPanel</name>
    <message>
        <source>All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Downloaded</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not Downloaded</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Has Updates</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New to Old</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Old to New</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Title A-Z</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Title Z-A</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Publisher A-Z</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Publisher Z-A</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rule System A-Z</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rule System Z-A</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select all</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TransferText</name>
    <message>
        <source>%1 B</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 kB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 MB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 GB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1/s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 s left</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 min left</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 h %2 min left</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>UpdateAppDialog</name>
    <message>
        <source>Update Available!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Downloading Update. Please wait...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There is new version of this app available. Would you like to</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>update app right now?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Update Now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Later</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>UpdateFileDialog</name>
    <message>
        <source>Update File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remember my Choice</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Overwrite</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rename Old File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do not update</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
