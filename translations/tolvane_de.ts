<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AboutWindow</name>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>Tolvane</source>
        <translation>Tolvane</translation>
    </message>
    <message>
        <source>Game books and adventures, delivered to your desk.</source>
        <translation>Spielbücher und Abenteuer, direkt auf Ihren Schreibtisch.</translation>
    </message>
    <message>
        <source>The Tolvane desktop library app</source>
        <translation>Die Tolvane-Bibliotheks-App für den Desktop</translation>
    </message>
    <message>
        <source>© 2021 Quenlith. All rights reserved.</source>
        <translation>© 2021 Quenlith. Alle Rechte vorbehalten.</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>Tolvane web site</source>
        <translation>Tolvane-Website</translation>
    </message>
    <message>
        <source>Tolvane community</source>
        <translation>Tolvane-Community</translation>
    </message>
    <message>
        <source>Tolvane on Facebook</source>
        <translation>Tolvane auf Facebook</translation>
    </message>
    <message>
        <source>Tolvane on Twitter</source>
        <translation>Tolvane auf Twitter</translation>
    </message>
</context>
<context>
    <name>ApplicationUpdater</name>
    <message>
        <source>The update information could not be fetched.</source>
        <translation>Die Update-Informationen konnten nicht abgerufen werden.</translation>
    </message>
    <message>
        <source>The update information could not be read.</source>
        <translation>Die Update-Informationen konnten nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The update is not offered over a secure connection.</source>
        <translation>Das Update wird nicht über eine sichere Verbindung angeboten.</translation>
    </message>
    <message>
        <source>The update could not be downloaded.</source>
        <translation>Das Update konnte nicht heruntergeladen werden.</translation>
    </message>
    <message>
        <source>The update could not be installed. Please install it from the download page.</source>
        <translation>Das Update konnte nicht installiert werden. Bitte installieren Sie es über die Download-Seite.</translation>
    </message>
</context>
<context>
    <name>AskUpdateFileDialog</name>
    <message>
        <source>File &quot;%1&quot; is already in your library. Which would you like to do?</source>
        <translation>Die Datei „%1“ ist bereits in Ihrer Bibliothek. Was möchten Sie tun?</translation>
    </message>
</context>
<context>
    <name>BaseDialog</name>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>BookDetails</name>
    <message>
        <source>PUBLISHER</source>
        <translation>VERLAG</translation>
    </message>
    <message>
        <source>DOWNLOADED</source>
        <translation>HERUNTERGELADEN</translation>
    </message>
    <message>
        <source>RULE SYSTEM</source>
        <translation>REGELSYSTEM</translation>
    </message>
    <message>
        <source>LAST UPDATED</source>
        <translation>ZULETZT AKTUALISIERT</translation>
    </message>
    <message>
        <source>Back to the library</source>
        <translation>Zurück zur Bibliothek</translation>
    </message>
    <message>
        <source>Show in folder</source>
        <translation>Im Ordner zeigen</translation>
    </message>
    <message>
        <source>Show the book&apos;s folder</source>
        <translation>Den Ordner des Buchs zeigen</translation>
    </message>
</context>
<context>
    <name>BookFileDelegate</name>
    <message>
        <source>Downloaded</source>
        <translation>Heruntergeladen</translation>
    </message>
    <message>
        <source>Update available</source>
        <translation>Update verfügbar</translation>
    </message>
    <message>
        <source>Downloading, %1 %</source>
        <translation>Wird heruntergeladen, %1 %</translation>
    </message>
    <message>
        <source>Waiting to download</source>
        <translation>Wartet auf Download</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>Angehalten</translation>
    </message>
    <message>
        <source>Failed: %1</source>
        <translation>Fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>Not downloaded</source>
        <translation>Nicht heruntergeladen</translation>
    </message>
    <message>
        <source>Delete %1</source>
        <translation>%1 löschen</translation>
    </message>
    <message>
        <source>Update %1</source>
        <translation>%1 aktualisieren</translation>
    </message>
    <message>
        <source>Cancel the download of %1</source>
        <translation>Download von %1 abbrechen</translation>
    </message>
    <message>
        <source>Retry %1</source>
        <translation>Download von %1 wiederholen</translation>
    </message>
    <message>
        <source>Download %1</source>
        <translation>%1 herunterladen</translation>
    </message>
    <message>
        <source>Open %1</source>
        <translation>%1 öffnen</translation>
    </message>
    <message>
        <source>Show %1 in its folder</source>
        <translation>%1 in seinem Ordner zeigen</translation>
    </message>
    <message>
        <source>Show in folder</source>
        <translation>Im Ordner zeigen</translation>
    </message>
</context>
<context>
    <name>BookFilesListView</name>
    <message>
        <source>Scroll the files</source>
        <translation>Dateiliste scrollen</translation>
    </message>
</context>
<context>
    <name>DeleteConfirmationDialog</name>
    <message>
        <source>Delete File?</source>
        <translation>Datei löschen?</translation>
    </message>
    <message>
        <source>Don&apos;t show me this warning again</source>
        <translation>Diese Warnung nicht mehr anzeigen</translation>
    </message>
    <message>
        <source>DELETE</source>
        <translation>LÖSCHEN</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Are you sure you want to delete this file for good? It cannot be restored.</source>
        <translation>Möchten Sie diese Datei wirklich endgültig löschen? Sie kann nicht wiederhergestellt werden.</translation>
    </message>
    <message>
        <source>Are you sure you want to move this file to the Trash?</source>
        <translation>Möchten Sie diese Datei wirklich in den Papierkorb verschieben?</translation>
    </message>
</context>
<context>
    <name>DesktopNotifier</name>
    <message>
        <source>Downloads finished with errors</source>
        <translation>Downloads mit Fehlern abgeschlossen</translation>
    </message>
    <message>
        <source>Downloads finished</source>
        <translation>Downloads abgeschlossen</translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) downloaded</source>
        <translation>
            <numerusform>%n Datei heruntergeladen</numerusform>
            <numerusform>%n Dateien heruntergeladen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n failed</source>
        <translation>
            <numerusform>%n fehlgeschlagen</numerusform>
            <numerusform>%n fehlgeschlagen</numerusform>
        </translation>
    </message>
    <message>
        <source>Show</source>
        <translation>Anzeigen</translation>
    </message>
</context>
<context>
    <name>Downloader</name>
    <message>
        <source>Failed to get download URL</source>
        <translation>Download-Adresse konnte nicht abgerufen werden</translation>
    </message>
    <message>
        <source>Download directory %1 does not exist</source>
        <translation>Der Download-Ordner %1 existiert nicht</translation>
    </message>
    <message>
        <source>Don&apos;t have permissions to write to directory %1</source>
        <translation>Keine Schreibrechte für den Ordner %1</translation>
    </message>
    <message>
        <source>Can&apos;t create file in directory %1</source>
        <translation>Im Ordner %1 kann keine Datei angelegt werden</translation>
    </message>
    <message>
        <source>File allocation error. Please check disk free space.</source>
        <translation>Fehler beim Anlegen der Datei. Bitte prüfen Sie den freien Speicherplatz.</translation>
    </message>
    <message>
        <source>Uknown file error</source>
        <translation>Unbekannter Dateifehler</translation>
    </message>
    <message>
        <source>Download error: the connection stalled.</source>
        <translation>Download-Fehler: Die Verbindung ist stehen geblieben.</translation>
    </message>
    <message>
        <source>The connection closed before the whole file arrived.</source>
        <translation>Die Verbindung wurde beendet, bevor die ganze Datei angekommen ist.</translation>
    </message>
    <message>
        <source>Download error: %1</source>
        <translation>Download-Fehler: %1</translation>
    </message>
    <message>
        <source>File hash not returned from server</source>
        <translation>Der Server hat keine Prüfsumme für die Datei geliefert</translation>
    </message>
    <message>
        <source>Download error: hash doesn&apos;t match.</source>
        <translation>Download-Fehler: Die Prüfsumme stimmt nicht überein.</translation>
    </message>
    <message>
        <source>The disk is full: %1 could not be written. Free some space and download it again.</source>
        <translation>Der Datenträger ist voll: %1 konnte nicht geschrieben werden. Bitte geben Sie Speicherplatz frei und laden Sie die Datei erneut herunter.</translation>
    </message>
    <message>
        <source>Download error: the server sent more than the file&apos;s size of %1 bytes.</source>
        <translation>Download-Fehler: Der Server hat mehr als die Dateigröße von %1 Bytes gesendet.</translation>
    </message>
    <message>
        <source>The download could not be renamed to %1.</source>
        <translation>Der Download konnte nicht in %1 umbenannt werden.</translation>
    </message>
</context>
<context>
    <name>ErrorsListDelegate</name>
    <message>
        <source>Show %1</source>
        <translation>%1 anzeigen</translation>
    </message>
    <message>
        <source>Files failed to download: </source>
        <translation>Fehler beim Herunterladen: </translation>
    </message>
    <message>
        <source>Files failed to update: </source>
        <translation>Fehler beim Aktualisieren: </translation>
    </message>
    <message>
        <source>Files failed to delete: </source>
        <translation>Fehler beim Löschen: </translation>
    </message>
    <message>
        <source>Error refreshing library. Please check your internet connection.</source>
        <translation>Fehler beim Aktualisieren der Bibliothek. Bitte prüfen Sie Ihre Internetverbindung.</translation>
    </message>
</context>
<context>
    <name>ErrorsListDialog</name>
    <message>
        <source>Error(s)</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Download all</source>
        <translation>Alle herunterladen</translation>
    </message>
</context>
<context>
    <name>ErrorsListModel</name>
    <message>
        <source>Some of your files failed to download. Click here to view error.</source>
        <translation>Einige Ihrer Dateien konnten nicht heruntergeladen werden. Klicken Sie hier, um den Fehler anzuzeigen.</translation>
    </message>
    <message>
        <source>Some of your files failed to update. Click here to view error.</source>
        <translation>Einige Ihrer Dateien konnten nicht aktualisiert werden. Klicken Sie hier, um den Fehler anzuzeigen.</translation>
    </message>
    <message>
        <source>Some of your files failed to delete. Click here to view error.</source>
        <translation>Einige Ihrer Dateien konnten nicht gelöscht werden. Klicken Sie hier, um den Fehler anzuzeigen.</translation>
    </message>
    <message>
        <source>Error refreshing library. Please check your internet connection.</source>
        <translation>Fehler beim Aktualisieren der Bibliothek. Bitte prüfen Sie Ihre Internetverbindung.</translation>
    </message>
</context>
<context>
    <name>FirstLoginNotice</name>
    <message>
        <source>Please allow us a moment to update your library to match your Quenlith online library.</source>
        <translation>Einen Moment bitte: Wir gleichen Ihre Bibliothek mit Ihrer Quenlith-Online-Bibliothek ab.</translation>
    </message>
</context>
<context>
    <name>FolderRevealer</name>
    <message>
        <source>&quot;%1&quot; is no longer on the disk.</source>
        <translation>„%1“ ist nicht mehr auf dem Datenträger.</translation>
    </message>
    <message>
        <source>The folder of &quot;%1&quot; could not be opened.</source>
        <translation>Der Ordner von „%1“ konnte nicht geöffnet werden.</translation>
    </message>
</context>
<context>
    <name>FreeSpaceWarningDialog</name>
    <message>
        <source>Not enough free space</source>
        <translation>Nicht genug freier Speicherplatz</translation>
    </message>
    <message>
        <source>more</source>
        <translation>mehr</translation>
    </message>
    <message>
        <source>too little</source>
        <translation>zu wenig</translation>
    </message>
    <message>
        <source>Download path is unavailable. Please check settings and try again.</source>
        <translation>Der Download-Pfad ist nicht verfügbar. Bitte prüfen Sie die Einstellungen und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>You are trying to update or download %0 worth of space and you only
have %1. Please free up space and try again.</source>
        <translation>Sie möchten %0 aktualisieren oder herunterladen, es sind aber nur
%1 frei. Bitte schaffen Sie Platz und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>Try Again</source>
        <translation>Erneut versuchen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>%1 B</source>
        <translation>%1 B</translation>
    </message>
    <message>
        <source>%1 kB</source>
        <translation>%1 kB</translation>
    </message>
    <message>
        <source>%1 MB</source>
        <translation>%1 MB</translation>
    </message>
    <message>
        <source>%1 GB</source>
        <translation>%1 GB</translation>
    </message>
</context>
<context>
    <name>LibraryFile</name>
    <message>
        <source>Failed to create path to store file: %1</source>
        <translation>Der Ordner zum Speichern der Datei konnte nicht angelegt werden: %1</translation>
    </message>
    <message>
        <source>Failed to rename file %1</source>
        <translation>Die Datei %1 konnte nicht umbenannt werden</translation>
    </message>
    <message>
        <source>File missing</source>
        <translation>Datei fehlt</translation>
    </message>
    <message>
        <source>Error deleting file &quot;%0&quot;. Please check it&apos;s not opened by other applications.</source>
        <translation>Fehler beim Löschen der Datei „%0“. Bitte prüfen Sie, ob sie in einem anderen Programm geöffnet ist.</translation>
    </message>
    <message>
        <source>Failed to replace file %1</source>
        <translation>Die Datei %1 konnte nicht ersetzt werden</translation>
    </message>
    <message>
        <source>File %1 lies outside the library folder and was not deleted.</source>
        <translation>Die Datei %1 liegt außerhalb des Bibliotheksordners und wurde nicht gelöscht.</translation>
    </message>
</context>
<context>
    <name>LibraryItem</name>
    <message>
        <source>Other systems</source>
        <translation>Andere Systeme</translation>
    </message>
    <message>
        <source>MMMM dd, yyyy</source>
        <extracomment>A QLocale date format: MMMM the month&apos;s name, d/dd the day, yyyy the year.</extracomment>
        <translation>d. MMMM yyyy</translation>
    </message>
</context>
<context>
    <name>LibraryListView</name>
    <message>
        <source>Scroll the library</source>
        <translation>Bibliothek scrollen</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>Bibliothek</translation>
    </message>
</context>
<context>
    <name>LibraryRowDelegate</name>
    <message>
        <source>Download %1</source>
        <translation>%1 herunterladen</translation>
    </message>
    <message>
        <source>Update %1</source>
        <translation>%1 aktualisieren</translation>
    </message>
    <message>
        <source>Show the error of %1</source>
        <translation>Fehler bei %1 anzeigen</translation>
    </message>
    <message>
        <source>Details of %1, downloading</source>
        <translation>Details zu %1, wird heruntergeladen</translation>
    </message>
    <message>
        <source>Details of %1</source>
        <translation>Details zu %1</translation>
    </message>
    <message>
        <source>Select %1</source>
        <translation>%1 auswählen</translation>
    </message>
</context>
<context>
    <name>LibraryTileDelegate</name>
    <message>
        <source>Publisher: </source>
        <translation>Verlag: </translation>
    </message>
    <message>
        <source>Rule System: </source>
        <translation>Regelsystem: </translation>
    </message>
    <message>
        <source>Select %1</source>
        <translation>%1 auswählen</translation>
    </message>
    <message>
        <source>Show the error of %1</source>
        <translation>Fehler bei %1 anzeigen</translation>
    </message>
    <message>
        <source>Details of %1, downloading</source>
        <translation>Details zu %1, wird heruntergeladen</translation>
    </message>
    <message>
        <source>Update %1</source>
        <translation>%1 aktualisieren</translation>
    </message>
    <message>
        <source>Download %1</source>
        <translation>%1 herunterladen</translation>
    </message>
</context>
<context>
    <name>LibraryTileView</name>
    <message>
        <source>Back to Top</source>
        <translation>Nach oben</translation>
    </message>
    <message>
        <source>Scroll the library</source>
        <translation>Bibliothek scrollen</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>Bibliothek</translation>
    </message>
</context>
<context>
    <name>LibraryVerification</name>
    <message numerus="yes">
        <source>%1 of %n file(s)</source>
        <translation>
            <numerusform>%1 von %n Datei</numerusform>
            <numerusform>%1 von %n Dateien</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
    <message numerus="yes">
        <source>The check was stopped after %n file(s).</source>
        <translation>
            <numerusform>Die Prüfung wurde nach %n Datei angehalten.</numerusform>
            <numerusform>Die Prüfung wurde nach %n Dateien angehalten.</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 good, %2 changed, %3 missing</source>
        <translation>%1 in Ordnung, %2 geändert, %3 fehlen</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is missing from the disk; it is marked for download again.</source>
        <translation>„%1“ fehlt auf dem Datenträger; die Datei ist zum erneuten Herunterladen markiert.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; has changed on the disk; it is marked for download again.</source>
        <translation>„%1“ wurde auf dem Datenträger geändert; die Datei ist zum erneuten Herunterladen markiert.</translation>
    </message>
</context>
<context>
    <name>LoginWindow</name>
    <message>
        <source>Wrong Key. Please try to re-enter the key.</source>
        <translation>Falscher Schlüssel. Bitte geben Sie den Schlüssel erneut ein.</translation>
    </message>
    <message>
        <source>&lt;a href=&apos;&apos;&gt;&lt;u&gt;Back&lt;/u&gt;&lt;/a&gt;</source>
        <translation>&lt;a href=&apos;&apos;&gt;&lt;u&gt;Zurück&lt;/u&gt;&lt;/a&gt;</translation>
    </message>
    <message>
        <source>Enter your login here</source>
        <translation>Anmeldename hier eingeben</translation>
    </message>
    <message>
        <source>&lt;a href=&apos;&apos;&gt;&lt;u&gt;Hide password&lt;/u&gt;&lt;/a&gt;</source>
        <translation>&lt;a href=&apos;&apos;&gt;&lt;u&gt;Passwort verbergen&lt;/u&gt;&lt;/a&gt;</translation>
    </message>
    <message>
        <source>&lt;a href=&apos;&apos;&gt;&lt;u&gt;Show password&lt;/u&gt;&lt;/a&gt;</source>
        <translation>&lt;a href=&apos;&apos;&gt;&lt;u&gt;Passwort anzeigen&lt;/u&gt;&lt;/a&gt;</translation>
    </message>
    <message>
        <source>Enter your password here</source>
        <translation>Passwort hier eingeben</translation>
    </message>
    <message>
        <source>Get key</source>
        <translation>Schlüssel holen</translation>
    </message>
    <message>
        <source>Enter key...</source>
        <translation>Schlüssel eingeben …</translation>
    </message>
    <message>
        <source>Log In</source>
        <translation>Anmelden</translation>
    </message>
    <message>
        <source>Welcome to the</source>
        <extracomment>Above the storefront&apos;s logo; &quot;Library App&quot; follows below it.</extracomment>
        <translation>Willkommen in der</translation>
    </message>
    <message>
        <source>Library App</source>
        <extracomment>Below the storefront&apos;s logo, after &quot;Welcome to the&quot;.</extracomment>
        <translation>Bibliotheks-App</translation>
    </message>
    <message>
        <source>Easily sync your library from Tolvane and all Quenlith sites.
To get started, link to your online account by entering an Application Key
bellow.</source>
        <translation>Gleichen Sie Ihre Bibliothek von Tolvane und allen Quenlith-Seiten ganz einfach ab.
Verbinden Sie sich zunächst mit Ihrem Online-Konto, indem Sie unten
einen Anwendungsschlüssel eingeben.</translation>
    </message>
    <message>
        <source>Get my Application Key</source>
        <translation>Meinen Anwendungsschlüssel holen</translation>
    </message>
    <message>
        <source>(Login in to Tolvane usign the same email/password as for any other Quenlith site)</source>
        <translation>(Melden Sie sich bei Tolvane mit derselben E-Mail-Adresse und demselben Passwort an wie auf jeder anderen Quenlith-Seite)</translation>
    </message>
    <message>
        <source>Scroll the page</source>
        <translation>Seite scrollen</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>E-mail</source>
        <translation>E-Mail-Adresse</translation>
    </message>
    <message>
        <source>Show password</source>
        <translation>Passwort anzeigen</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Application Key</source>
        <translation>Anwendungsschlüssel</translation>
    </message>
    <message>
        <source>Signing in</source>
        <translation>Anmeldung läuft</translation>
    </message>
    <message>
        <source>Quenlith</source>
        <translation>Quenlith</translation>
    </message>
</context>
<context>
    <name>MainHeadPanel</name>
    <message>
        <source>Complete</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Checking...</source>
        <translation>Wird geprüft …</translation>
    </message>
    <message>
        <source>Sync library data</source>
        <translation>Bibliothek abgleichen</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Welcome, %1!</source>
        <translation>Willkommen, %1!</translation>
    </message>
    <message>
        <source>Downloading: %1</source>
        <translation>Wird heruntergeladen: %1</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Show application window</source>
        <translation>Programmfenster anzeigen</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>The program will keep running in the system tray. To terminate the program, choose Quit in the context menu of the system tray entry.</source>
        <translation>Das Programm läuft im Systembereich der Kontrollleiste weiter. Um es zu beenden, wählen Sie „Beenden“ im Kontextmenü seines Symbols dort.</translation>
    </message>
</context>
<context>
    <name>NoAppUpdatesDialog</name>
    <message>
        <source>No updates available</source>
        <translation>Keine Updates verfügbar</translation>
    </message>
    <message>
        <source>Could not check for updates</source>
        <translation>Die Suche nach Updates ist fehlgeschlagen</translation>
    </message>
</context>
<context>
    <name>OnlineLibrary</name>
    <message>
        <source>The library could not be saved to %1: %2</source>
        <translation>Die Bibliothek konnte nicht in %1 gespeichert werden: %2</translation>
    </message>
</context>
<context>
    <name>OverallProgress</name>
    <message>
        <source>%1 of %2 files</source>
        <translation>%1 von %2 Dateien</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
</context>
<context>
    <name>PopupWindow</name>
    <message>
        <source>Tolvane</source>
        <translation>Tolvane</translation>
    </message>
</context>
<context>
    <name>QuenlithApplication</name>
    <message>
        <source>Stop downloading</source>
        <translation>Downloads anhalten</translation>
    </message>
    <message>
        <source>Download all</source>
        <translation>Alle herunterladen</translation>
    </message>
    <message>
        <source>Open Directory</source>
        <translation>Ordner öffnen</translation>
    </message>
    <message>
        <source>&quot;%1&quot; could not be opened: no program for it was found.</source>
        <translation>„%1“ konnte nicht geöffnet werden: Es wurde kein passendes Programm gefunden.</translation>
    </message>
</context>
<context>
    <name>RowDelegateActionButton</name>
    <message>
        <source>Download progress</source>
        <translation>Download-Fortschritt</translation>
    </message>
</context>
<context>
    <name>SearchTextField</name>
    <message>
        <source>Search...</source>
        <translation>Suchen …</translation>
    </message>
    <message>
        <source>Search the library</source>
        <translation>Bibliothek durchsuchen</translation>
    </message>
    <message>
        <source>Clear the search</source>
        <translation>Suche löschen</translation>
    </message>
</context>
<context>
    <name>SelectFolderTextField</name>
    <message>
        <source>Choose the folder</source>
        <translation>Ordner auswählen</translation>
    </message>
</context>
<context>
    <name>SelectionPanel</name>
    <message>
        <source>Download Selected</source>
        <translation>Auswahl herunterladen</translation>
    </message>
    <message>
        <source>Unselect All</source>
        <translation>Auswahl aufheben</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Alle auswählen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>The settings could not be saved to %1; check the free space and the folder&apos;s permissions.</source>
        <translation>Die Einstellungen konnten nicht in %1 gespeichert werden. Bitte prüfen Sie den freien Speicherplatz und die Berechtigungen des Ordners.</translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>DOWNLOAD</source>
        <translation>DOWNLOAD</translation>
    </message>
    <message>
        <source>Download Directory</source>
        <translation>Download-Ordner</translation>
    </message>
    <message>
        <source>Number of simultaneous downloads</source>
        <translation>Anzahl gleichzeitiger Downloads</translation>
    </message>
    <message>
        <source>UPDATES</source>
        <translation>UPDATES</translation>
    </message>
    <message>
        <source>Check for new version on app startup</source>
        <translation>Beim Programmstart nach neuer Version suchen</translation>
    </message>
    <message>
        <source>If Files in the library have changed...</source>
        <translation>Wenn sich Dateien der Bibliothek geändert haben …</translation>
    </message>
    <message>
        <source>Always ask before replacing old file(s)</source>
        <translation>Vor dem Ersetzen alter Dateien immer fragen</translation>
    </message>
    <message>
        <source>Auto download, archive old file(s)</source>
        <translation>Automatisch herunterladen, alte Dateien archivieren</translation>
    </message>
    <message>
        <source>Auto download, replace old file(s)</source>
        <translation>Automatisch herunterladen, alte Dateien ersetzen</translation>
    </message>
    <message>
        <source>Checking...</source>
        <translation>Wird geprüft …</translation>
    </message>
    <message>
        <source>Check for updates now</source>
        <translation>Jetzt nach Updates suchen</translation>
    </message>
    <message>
        <source>ADDITIONAL OPTIONS</source>
        <translation>WEITERE OPTIONEN</translation>
    </message>
    <message>
        <source>Enable logging to assist in improving the application</source>
        <translation>Protokollierung aktivieren, um bei der Verbesserung des Programms zu helfen</translation>
    </message>
    <message>
        <source>Show confirmation when deleting a file</source>
        <translation>Vor dem Löschen einer Datei nachfragen</translation>
    </message>
    <message>
        <source>Save changes</source>
        <translation>Änderungen speichern</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Sign out</source>
        <translation>Abmelden</translation>
    </message>
    <message>
        <source>© 2021 Quenlith. All rights reserved.</source>
        <translation>© 2021 Quenlith. Alle Rechte vorbehalten.</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Download directory is not writable. Please select different one.</source>
        <translation>In den Download-Ordner kann nicht geschrieben werden. Bitte wählen Sie einen anderen.</translation>
    </message>
    <message>
        <source>Quenlith Library Application %1</source>
        <translation>Quenlith-Bibliotheksprogramm %1</translation>
    </message>
    <message>
        <source>Back to the library</source>
        <translation>Zurück zur Bibliothek</translation>
    </message>
    <message>
        <source>Scroll the settings</source>
        <translation>Einstellungen scrollen</translation>
    </message>
    <message>
        <source>Move deleted files to the Trash</source>
        <translation>Gelöschte Dateien in den Papierkorb verschieben</translation>
    </message>
    <message>
        <source>Quenlith web site</source>
        <translation>Quenlith-Website</translation>
    </message>
    <message>
        <source>Quenlith on Facebook</source>
        <translation>Quenlith auf Facebook</translation>
    </message>
    <message>
        <source>Quenlith on Twitter</source>
        <translation>Quenlith auf Twitter</translation>
    </message>
    <message>
        <source>Limit download speed</source>
        <translation>Downloadgeschwindigkeit begrenzen</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>Geschwindigkeit</translation>
    </message>
    <message>
        <source>Download speed limit</source>
        <translation>Grenze der Downloadgeschwindigkeit</translation>
    </message>
    <message>
        <source>Unit of the download speed limit</source>
        <translation>Einheit der Geschwindigkeitsgrenze</translation>
    </message>
    <message>
        <source>KiB/s</source>
        <translation>KiB/s</translation>
    </message>
    <message>
        <source>MiB/s</source>
        <translation>MiB/s</translation>
    </message>
    <message>
        <source>LIBRARY CHECK</source>
        <translation>BIBLIOTHEK PRÜFEN</translation>
    </message>
    <message>
        <source>Checks every downloaded file against the store&apos;s checksums. Changed and missing files are marked for download again.</source>
        <translation>Prüft jede heruntergeladene Datei anhand der Prüfsummen des Shops. Geänderte und fehlende Dateien werden zum erneuten Herunterladen markiert.</translation>
    </message>
    <message>
        <source>Full check: read every file, also those unchanged since the last check</source>
        <translation>Vollständige Prüfung: jede Datei lesen, auch die seit der letzten Prüfung unveränderten</translation>
    </message>
    <message>
        <source>Stop the check</source>
        <translation>Prüfung anhalten</translation>
    </message>
    <message>
        <source>Verify library</source>
        <translation>Bibliothek prüfen</translation>
    </message>
    <message>
        <source>Library check progress</source>
        <translation>Fortschritt der Bibliotheksprüfung</translation>
    </message>
</context>
<context>
    <name>StatusBar</name>
    <message>
        <source>Scanning destination folder.</source>
        <translation>Zielordner wird durchsucht.</translation>
    </message>
    <message>
        <source>Some of your files failed to download. Click here to view error.</source>
        <translation>Einige Ihrer Dateien konnten nicht heruntergeladen werden. Klicken Sie hier, um den Fehler anzuzeigen.</translation>
    </message>
    <message>
        <source>Show the errors</source>
        <translation>Fehler anzeigen</translation>
    </message>
    <message>
        <source>Close the message</source>
        <translation>Meldung schließen</translation>
    </message>
</context>
<context>
    <name>TabPanel</name>
    <message>
        <source>All</source>
        <translation>Alle</translation>
    </message>
    <message>
        <source>Downloaded</source>
        <translation>Heruntergeladen</translation>
    </message>
    <message>
        <source>Not Downloaded</source>
        <translation>Nicht heruntergeladen</translation>
    </message>
    <message>
        <source>Has Updates</source>
        <translation>Mit Updates</translation>
    </message>
    <message>
        <source>New to Old</source>
        <translation>Neueste zuerst</translation>
    </message>
    <message>
        <source>Old to New</source>
        <translation>Älteste zuerst</translation>
    </message>
    <message>
        <source>Title A-Z</source>
        <translation>Titel A–Z</translation>
    </message>
    <message>
        <source>Title Z-A</source>
        <translation>Titel Z–A</translation>
    </message>
    <message>
        <source>Publisher A-Z</source>
        <translation>Verlag A–Z</translation>
    </message>
    <message>
        <source>Publisher Z-A</source>
        <translation>Verlag Z–A</translation>
    </message>
    <message>
        <source>Rule System A-Z</source>
        <translation>Regelsystem A–Z</translation>
    </message>
    <message>
        <source>Rule System Z-A</source>
        <translation>Regelsystem Z–A</translation>
    </message>
    <message>
        <source>Select all</source>
        <translation>Alle auswählen</translation>
    </message>
    <message>
        <source>Show these products</source>
        <translation>Diese Produkte anzeigen</translation>
    </message>
    <message>
        <source>Show as tiles</source>
        <translation>Als Kacheln anzeigen</translation>
    </message>
    <message>
        <source>Show as a list</source>
        <translation>Als Liste anzeigen</translation>
    </message>
    <message>
        <source>Sort by</source>
        <translation>Sortieren nach</translation>
    </message>
</context>
<context>
    <name>TransferText</name>
    <message>
        <source>%1 B</source>
        <translation>%1 B</translation>
    </message>
    <message>
        <source>%1 kB</source>
        <translation>%1 kB</translation>
    </message>
    <message>
        <source>%1 MB</source>
        <translation>%1 MB</translation>
    </message>
    <message>
        <source>%1 GB</source>
        <translation>%1 GB</translation>
    </message>
    <message>
        <source>%1/s</source>
        <translation>%1/s</translation>
    </message>
    <message>
        <source>%1 s left</source>
        <translation>noch %1 s</translation>
    </message>
    <message>
        <source>%1 min left</source>
        <translation>noch %1 min</translation>
    </message>
    <message>
        <source>%1 h %2 min left</source>
        <translation>noch %1 h %2 min</translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation>%1, %2</translation>
    </message>
</context>
<context>
    <name>UpdateAppDialog</name>
    <message>
        <source>Update Available!</source>
        <translation>Update verfügbar!</translation>
    </message>
    <message>
        <source>Downloading Update. Please wait...</source>
        <translation>Update wird heruntergeladen. Bitte warten …</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Update Now</source>
        <translation>Jetzt aktualisieren</translation>
    </message>
    <message>
        <source>Later</source>
        <translation>Später</translation>
    </message>
    <message>
        <source>There is new version of this app available. Would you like to
update app right now?</source>
        <translation>Eine neue Version dieses Programms ist verfügbar. Möchten Sie
jetzt aktualisieren?</translation>
    </message>
    <message>
        <source>There is new version of this app available on its download page.</source>
        <translation>Auf der Download-Seite ist eine neue Version dieses Programms verfügbar.</translation>
    </message>
    <message>
        <source>Open Page</source>
        <translation>Seite öffnen</translation>
    </message>
</context>
<context>
    <name>UpdateFileDialog</name>
    <message>
        <source>Update File</source>
        <translation>Datei aktualisieren</translation>
    </message>
    <message>
        <source>Remember my Choice</source>
        <translation>Auswahl merken</translation>
    </message>
    <message>
        <source>Overwrite</source>
        <translation>Überschreiben</translation>
    </message>
    <message>
        <source>Rename Old File</source>
        <translation>Alte Datei umbenennen</translation>
    </message>
    <message>
        <source>Do not update</source>
        <translation>Nicht aktualisieren</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Library client for the Tolvane game book store.</source>
        <translation>Bibliotheksprogramm für den Tolvane-Spielbuchladen.</translation>
    </message>
    <message>
        <source>Keep the saved library as JSON text.</source>
        <translation>Die gespeicherte Bibliothek als JSON-Text ablegen.</translation>
    </message>
    <message>
        <source>Unexpected argument: %1</source>
        <translation>Unerwartetes Argument: %1</translation>
    </message>
</context>
</TS>
