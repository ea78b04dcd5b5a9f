<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>AboutWindow</name>
    <message>
        <source>About</source>
        <translation>À propos</translation>
    </message>
    <message>
        <source>Tolvane</source>
        <translation>Tolvane</translation>
    </message>
    <message>
        <source>Game books and adventures, delivered to your desk.</source>
        <translation>Livres-jeux et aventures, livrés jusqu’à votre bureau.</translation>
    </message>
    <message>
        <source>The Tolvane desktop library app</source>
        <translation>L’application de bibliothèque Tolvane pour ordinateur</translation>
    </message>
    <message>
        <source>© 2021 Quenlith. All rights reserved.</source>
        <translation>© 2021 Quenlith. Tous droits réservés.</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>Tolvane web site</source>
        <translation>Site web de Tolvane</translation>
    </message>
    <message>
        <source>Tolvane community</source>
        <translation>Communauté Tolvane</translation>
    </message>
    <message>
        <source>Tolvane on Facebook</source>
        <translation>Tolvane sur Facebook</translation>
    </message>
    <message>
        <source>Tolvane on Twitter</source>
        <translation>Tolvane sur Twitter</translation>
    </message>
</context>
<context>
    <name>ApplicationUpdater</name>
    <message>
        <source>The update information could not be fetched.</source>
        <translation>Impossible de récupérer les informations de mise à jour.</translation>
    </message>
    <message>
        <source>The update information could not be read.</source>
        <translation>Impossible de lire les informations de mise à jour.</translation>
    </message>
    <message>
        <source>The update is not offered over a secure connection.</source>
        <translation>La mise à jour n’est pas proposée via une connexion sécurisée.</translation>
    </message>
    <message>
        <source>The update could not be downloaded.</source>
        <translation>Impossible de télécharger la mise à jour.</translation>
    </message>
    <message>
        <source>The update could not be installed. Please install it from the download page.</source>
        <translation>Impossible d’installer la mise à jour. Veuillez l’installer depuis la page de téléchargement.</translation>
    </message>
</context>
<context>
    <name>AskUpdateFileDialog</name>
    <message>
        <source>File &quot;%1&quot; is already in your library. Which would you like to do?</source>
        <translation>Le fichier « %1 » est déjà dans votre bibliothèque. Que souhaitez-vous faire ?</translation>
    </message>
</context>
<context>
    <name>BaseDialog</name>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
</context>
<context>
    <name>BookDetails</name>
    <message>
        <source>PUBLISHER</source>
        <translation>ÉDITEUR</translation>
    </message>
    <message>
        <source>DOWNLOADED</source>
        <translation>TÉLÉCHARGÉ</translation>
    </message>
    <message>
        <source>RULE SYSTEM</source>
        <translation>SYSTÈME DE RÈGLES</translation>
    </message>
    <message>
        <source>LAST UPDATED</source>
        <translation>DERNIÈRE MISE À JOUR</translation>
    </message>
    <message>
        <source>Back to the library</source>
        <translation>Retour à la bibliothèque</translation>
    </message>
    <message>
        <source>Show in folder</source>
        <translation>Afficher dans le dossier</translation>
    </message>
    <message>
        <source>Show the book&apos;s folder</source>
        <translation>Afficher le dossier du livre</translation>
    </message>
</context>
<context>
    <name>BookFileDelegate</name>
    <message>
        <source>Downloaded</source>
        <translation>Téléchargé</translation>
    </message>
    <message>
        <source>Update available</source>
        <translation>Mise à jour disponible</translation>
    </message>
    <message>
        <source>Downloading, %1 %</source>
        <translation>Téléchargement en cours, %1 %</translation>
    </message>
    <message>
        <source>Waiting to download</source>
        <translation>En attente de téléchargement</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>En pause</translation>
    </message>
    <message>
        <source>Failed: %1</source>
        <translation>Échec : %1</translation>
    </message>
    <message>
        <source>Not downloaded</source>
        <translation>Non téléchargé</translation>
    </message>
    <message>
        <source>Delete %1</source>
        <translation>Supprimer %1</translation>
    </message>
    <message>
        <source>Update %1</source>
        <translation>Mettre à jour %1</translation>
    </message>
    <message>
        <source>Cancel the download of %1</source>
        <translation>Annuler le téléchargement de %1</translation>
    </message>
    <message>
        <source>Retry %1</source>
        <translation>Relancer le téléchargement de %1</translation>
    </message>
    <message>
        <source>Download %1</source>
        <translation>Télécharger %1</translation>
    </message>
    <message>
        <source>Open %1</source>
        <translation>Ouvrir %1</translation>
    </message>
    <message>
        <source>Show %1 in its folder</source>
        <translation>Afficher %1 dans son dossier</translation>
    </message>
    <message>
        <source>Show in folder</source>
        <translation>Afficher dans le dossier</translation>
    </message>
</context>
<context>
    <name>BookFilesListView</name>
    <message>
        <source>Scroll the files</source>
        <translation>Faire défiler les fichiers</translation>
    </message>
</context>
<context>
    <name>DeleteConfirmationDialog</name>
    <message>
        <source>Delete File?</source>
        <translation>Supprimer le fichier ?</translation>
    </message>
    <message>
        <source>Don&apos;t show me this warning again</source>
        <translation>Ne plus afficher cet avertissement</translation>
    </message>
    <message>
        <source>DELETE</source>
        <translation>SUPPRIMER</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Are you sure you want to delete this file for good? It cannot be restored.</source>
        <translation>Voulez-vous vraiment supprimer définitivement ce fichier ? Il ne pourra pas être restauré.</translation>
    </message>
    <message>
        <source>Are you sure you want to move this file to the Trash?</source>
        <translation>Voulez-vous vraiment placer ce fichier dans la corbeille ?</translation>
    </message>
</context>
<context>
    <name>DesktopNotifier</name>
    <message>
        <source>Downloads finished with errors</source>
        <translation>Téléchargements terminés avec des erreurs</translation>
    </message>
    <message>
        <source>Downloads finished</source>
        <translation>Téléchargements terminés</translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) downloaded</source>
        <translation>
            <numerusform>%n fichier téléchargé</numerusform>
            <numerusform>%n fichiers téléchargés</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n failed</source>
        <translation>
            <numerusform>%n en échec</numerusform>
            <numerusform>%n en échec</numerusform>
        </translation>
    </message>
    <message>
        <source>Show</source>
        <translation>Afficher</translation>
    </message>
</context>
<context>
    <name>Downloader</name>
    <message>
        <source>Failed to get download URL</source>
        <translation>Impossible d’obtenir l’adresse de téléchargement</translation>
    </message>
    <message>
        <source>Download directory %1 does not exist</source>
        <translation>Le dossier de téléchargement %1 n’existe pas</translation>
    </message>
    <message>
        <source>Don&apos;t have permissions to write to directory %1</source>
        <translation>Pas d’autorisation d’écriture dans le dossier %1</translation>
    </message>
    <message>
        <source>Can&apos;t create file in directory %1</source>
        <translation>Impossible de créer un fichier dans le dossier %1</translation>
    </message>
    <message>
        <source>File allocation error. Please check disk free space.</source>
        <translation>Erreur d’allocation du fichier. Veuillez vérifier l’espace disque disponible.</translation>
    </message>
    <message>
        <source>Uknown file error</source>
        <translation>Erreur de fichier inconnue</translation>
    </message>
    <message>
        <source>Download error: the connection stalled.</source>
        <translation>Erreur de téléchargement : la connexion est bloquée.</translation>
    </message>
    <message>
        <source>The connection closed before the whole file arrived.</source>
        <translation>La connexion a été fermée avant la réception complète du fichier.</translation>
    </message>
    <message>
        <source>Download error: %1</source>
        <translation>Erreur de téléchargement : %1</translation>
    </message>
    <message>
        <source>File hash not returned from server</source>
        <translation>Le serveur n’a pas renvoyé la somme de contrôle du fichier</translation>
    </message>
    <message>
        <source>Download error: hash doesn&apos;t match.</source>
        <translation>Erreur de téléchargement : la somme de contrôle ne correspond pas.</translation>
    </message>
    <message>
        <source>The disk is full: %1 could not be written. Free some space and download it again.</source>
        <translation>Le disque est plein : impossible d’écrire %1. Libérez de l’espace, puis relancez le téléchargement.</translation>
    </message>
    <message>
        <source>Download error: the server sent more than the file&apos;s size of %1 bytes.</source>
        <translation>Erreur de téléchargement : le serveur a envoyé plus que la taille du fichier, soit %1 octets.</translation>
    </message>
    <message>
        <source>The download could not be renamed to %1.</source>
        <translation>Impossible de renommer le téléchargement en %1.</translation>
    </message>
</context>
<context>
    <name>ErrorsListDelegate</name>
    <message>
        <source>Show %1</source>
        <translation>Afficher %1</translation>
    </message>
    <message>
        <source>Files failed to download: </source>
        <translation>Échec du téléchargement : </translation>
    </message>
    <message>
        <source>Files failed to update: </source>
        <translation>Échec de la mise à jour : </translation>
    </message>
    <message>
        <source>Files failed to delete: </source>
        <translation>Échec de la suppression : </translation>
    </message>
    <message>
        <source>Error refreshing library. Please check your internet connection.</source>
        <translation>Erreur lors de l’actualisation de la bibliothèque. Veuillez vérifier votre connexion Internet.</translation>
    </message>
</context>
<context>
    <name>ErrorsListDialog</name>
    <message>
        <source>Error(s)</source>
        <translation>Erreur(s)</translation>
    </message>
    <message>
        <source>Download all</source>
        <translation>Tout télécharger</translation>
    </message>
</context>
<context>
    <name>ErrorsListModel</name>
    <message>
        <source>Some of your files failed to download. Click here to view error.</source>
        <translation>Certains de vos fichiers n’ont pas pu être téléchargés. Cliquez ici pour voir l’erreur.</translation>
    </message>
    <message>
        <source>Some of your files failed to update. Click here to view error.</source>
        <translation>Certains de vos fichiers n’ont pas pu être mis à jour. Cliquez ici pour voir l’erreur.</translation>
    </message>
    <message>
        <source>Some of your files failed to delete. Click here to view error.</source>
        <translation>Certains de vos fichiers n’ont pas pu être supprimés. Cliquez ici pour voir l’erreur.</translation>
    </message>
    <message>
        <source>Error refreshing library. Please check your internet connection.</source>
        <translation>Erreur lors de l’actualisation de la bibliothèque. Veuillez vérifier votre connexion Internet.</translation>
    </message>
</context>
<context>
    <name>FirstLoginNotice</name>
    <message>
        <source>Please allow us a moment to update your library to match your Quenlith online library.</source>
        <translation>Un instant, s’il vous plaît : nous mettons votre bibliothèque à jour d’après votre bibliothèque en ligne Quenlith.</translation>
    </message>
</context>
<context>
    <name>FolderRevealer</name>
    <message>
        <source>&quot;%1&quot; is no longer on the disk.</source>
        <translation>« %1 » n’est plus sur le disque.</translation>
    </message>
    <message>
        <source>The folder of &quot;%1&quot; could not be opened.</source>
        <translation>Le dossier de « %1 » n’a pas pu être ouvert.</translation>
    </message>
</context>
<context>
    <name>FreeSpaceWarningDialog</name>
    <message>
        <source>Not enough free space</source>
        <translation>Espace disque insuffisant</translation>
    </message>
    <message>
        <source>more</source>
        <translation>davantage</translation>
    </message>
    <message>
        <source>too little</source>
        <translation>trop peu</translation>
    </message>
    <message>
        <source>Download path is unavailable. Please check settings and try again.</source>
        <translation>Le chemin de téléchargement est indisponible. Veuillez vérifier les paramètres et réessayer.</translation>
    </message>
    <message>
        <source>You are trying to update or download %0 worth of space and you only
have %1. Please free up space and try again.</source>
        <translation>Vous essayez de mettre à jour ou de télécharger %0, mais il ne reste
que %1. Veuillez libérer de l’espace et réessayer.</translation>
    </message>
    <message>
        <source>Try Again</source>
        <translation>Réessayer</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>%1 B</source>
        <translation>%1 o</translation>
    </message>
    <message>
        <source>%1 kB</source>
        <translation>%1 ko</translation>
    </message>
    <message>
        <source>%1 MB</source>
        <translation>%1 Mo</translation>
    </message>
    <message>
        <source>%1 GB</source>
        <translation>%1 Go</translation>
    </message>
</context>
<context>
    <name>LibraryFile</name>
    <message>
        <source>Failed to create path to store file: %1</source>
        <translation>Impossible de créer le dossier où enregistrer le fichier : %1</translation>
    </message>
    <message>
        <source>Failed to rename file %1</source>
        <translation>Impossible de renommer le fichier %1</translation>
    </message>
    <message>
        <source>File missing</source>
        <translation>Fichier manquant</translation>
    </message>
    <message>
        <source>Error deleting file &quot;%0&quot;. Please check it&apos;s not opened by other applications.</source>
        <translation>Erreur lors de la suppression du fichier « %0 ». Vérifiez qu’il n’est pas ouvert dans une autre application.</translation>
    </message>
    <message>
        <source>Failed to replace file %1</source>
        <translation>Impossible de remplacer le fichier %1</translation>
    </message>
    <message>
        <source>File %1 lies outside the library folder and was not deleted.</source>
        <translation>Le fichier %1 se trouve hors du dossier de la bibliothèque et n’a pas été supprimé.</translation>
    </message>
</context>
<context>
    <name>LibraryItem</name>
    <message>
        <source>Other systems</source>
        <translation>Autres systèmes</translation>
    </message>
    <message>
        <source>MMMM dd, yyyy</source>
        <extracomment>A QLocale date format: MMMM the month&apos;s name, d/dd the day, yyyy the year.</extracomment>
        <translation>d MMMM yyyy</translation>
    </message>
</context>
<context>
    <name>LibraryListView</name>
    <message>
        <source>Scroll the library</source>
        <translation>Faire défiler la bibliothèque</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>Bibliothèque</translation>
    </message>
</context>
<context>
    <name>LibraryRowDelegate</name>
    <message>
        <source>Download %1</source>
        <translation>Télécharger %1</translation>
    </message>
    <message>
        <source>Update %1</source>
        <translation>Mettre à jour %1</translation>
    </message>
    <message>
        <source>Show the error of %1</source>
        <translation>Afficher l’erreur de %1</translation>
    </message>
    <message>
        <source>Details of %1, downloading</source>
        <translation>Détails de %1, téléchargement en cours</translation>
    </message>
    <message>
        <source>Details of %1</source>
        <translation>Détails de %1</translation>
    </message>
    <message>
        <source>Select %1</source>
        <translation>Sélectionner %1</translation>
    </message>
</context>
<context>
    <name>LibraryTileDelegate</name>
    <message>
        <source>Publisher: </source>
        <translation>Éditeur : </translation>
    </message>
    <message>
        <source>Rule System: </source>
        <translation>Système de règles : </translation>
    </message>
    <message>
        <source>Select %1</source>
        <translation>Sélectionner %1</translation>
    </message>
    <message>
        <source>Show the error of %1</source>
        <translation>Afficher l’erreur de %1</translation>
    </message>
    <message>
        <source>Details of %1, downloading</source>
        <translation>Détails de %1, téléchargement en cours</translation>
    </message>
    <message>
        <source>Update %1</source>
        <translation>Mettre à jour %1</translation>
    </message>
    <message>
        <source>Download %1</source>
        <translation>Télécharger %1</translation>
    </message>
</context>
<context>
    <name>LibraryTileView</name>
    <message>
        <source>Back to Top</source>
        <translation>Retour en haut</translation>
    </message>
    <message>
        <source>Scroll the library</source>
        <translation>Faire défiler la bibliothèque</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>Bibliothèque</translation>
    </message>
</context>
<context>
    <name>LibraryVerification</name>
    <message numerus="yes">
        <source>%1 of %n file(s)</source>
        <translation>
            <numerusform>%1 sur %n fichier</numerusform>
            <numerusform>%1 sur %n fichiers</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 sur %2</translation>
    </message>
    <message numerus="yes">
        <source>The check was stopped after %n file(s).</source>
        <translation>
            <numerusform>La vérification a été arrêtée après %n fichier.</numerusform>
            <numerusform>La vérification a été arrêtée après %n fichiers.</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 good, %2 changed, %3 missing</source>
        <translation>%1 intacts, %2 modifiés, %3 manquants</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is missing from the disk; it is marked for download again.</source>
        <translation>« %1 » manque sur le disque ; il est marqué pour être téléchargé à nouveau.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; has changed on the disk; it is marked for download again.</source>
        <translation>« %1 » a été modifié sur le disque ; il est marqué pour être téléchargé à nouveau.</translation>
    </message>
</context>
<context>
    <name>LoginWindow</name>
    <message>
        <source>Wrong Key. Please try to re-enter the key.</source>
        <translation>Clé incorrecte. Veuillez saisir la clé à nouveau.</translation>
    </message>
    <message>
        <source>&lt;a href=&apos;&apos;&gt;&lt;u&gt;Back&lt;/u&gt;&lt;/a&gt;</source>
        <translation>&lt;a href=&apos;&apos;&gt;&lt;u&gt;Retour&lt;/u&gt;&lt;/a&gt;</translation>
    </message>
    <message>
        <source>Enter your login here</source>
        <translation>Saisissez votre identifiant ici</translation>
    </message>
    <message>
        <source>&lt;a href=&apos;&apos;&gt;&lt;u&gt;Hide password&lt;/u&gt;&lt;/a&gt;</source>
        <translation>&lt;a href=&apos;&apos;&gt;&lt;u&gt;Masquer le mot de passe&lt;/u&gt;&lt;/a&gt;</translation>
    </message>
    <message>
        <source>&lt;a href=&apos;&apos;&gt;&lt;u&gt;Show password&lt;/u&gt;&lt;/a&gt;</source>
        <translation>&lt;a href=&apos;&apos;&gt;&lt;u&gt;Afficher le mot de passe&lt;/u&gt;&lt;/a&gt;</translation>
    </message>
    <message>
        <source>Enter your password here</source>
        <translation>Saisissez votre mot de passe ici</translation>
    </message>
    <message>
        <source>Get key</source>
        <translation>Obtenir la clé</translation>
    </message>
    <message>
        <source>Enter key...</source>
        <translation>Saisissez la clé…</translation>
    </message>
    <message>
        <source>Log In</source>
        <translation>Se connecter</translation>
    </message>
    <message>
        <source>Welcome to the</source>
        <extracomment>Above the storefront&apos;s logo; &quot;Library App&quot; follows below it.</extracomment>
        <translation>Bienvenue dans</translation>
    </message>
    <message>
        <source>Library App</source>
        <extracomment>Below the storefront&apos;s logo, after &quot;Welcome to the&quot;.</extracomment>
        <translation>l’application Bibliothèque</translation>
    </message>
    <message>
        <source>Easily sync your library from Tolvane and all Quenlith sites.
To get started, link to your online account by entering an Application Key
bellow.</source>
        <translation>Synchronisez facilement votre bibliothèque de Tolvane et de tous les sites Quenlith.
Pour commencer, reliez votre compte en ligne en saisissant une clé d’application
ci-dessous.</translation>
    </message>
    <message>
        <source>Get my Application Key</source>
        <translation>Obtenir ma clé d’application</translation>
    </message>
    <message>
        <source>(Login in to Tolvane usign the same email/password as for any other Quenlith site)</source>
        <translation>(Connectez-vous à Tolvane avec la même adresse e-mail et le même mot de passe que sur les autres sites Quenlith)</translation>
    </message>
    <message>
        <source>Scroll the page</source>
        <translation>Faire défiler la page</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Retour</translation>
    </message>
    <message>
        <source>E-mail</source>
        <translation>Adresse e-mail</translation>
    </message>
    <message>
        <source>Show password</source>
        <translation>Afficher le mot de passe</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Mot de passe</translation>
    </message>
    <message>
        <source>Application Key</source>
        <translation>Clé d’application</translation>
    </message>
    <message>
        <source>Signing in</source>
        <translation>Connexion en cours</translation>
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
        <translation>Terminé</translation>
    </message>
    <message>
        <source>Checking...</source>
        <translation>Vérification…</translation>
    </message>
    <message>
        <source>Sync library data</source>
        <translation>Synchroniser la bibliothèque</translation>
    </message>
    <message>
        <source>About</source>
        <translation>À propos</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Paramètres</translation>
    </message>
    <message>
        <source>Welcome, %1!</source>
        <translation>Bienvenue, %1 !</translation>
    </message>
    <message>
        <source>Downloading: %1</source>
        <translation>Téléchargement en cours : %1</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Show application window</source>
        <translation>Afficher la fenêtre de l’application</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>The program will keep running in the system tray. To terminate the program, choose Quit in the context menu of the system tray entry.</source>
        <translation>Le programme continue de s’exécuter dans la zone de notification. Pour le fermer, choisissez « Quitter » dans le menu contextuel de son icône.</translation>
    </message>
</context>
<context>
    <name>NoAppUpdatesDialog</name>
    <message>
        <source>No updates available</source>
        <translation>Aucune mise à jour disponible</translation>
    </message>
    <message>
        <source>Could not check for updates</source>
        <translation>Impossible de rechercher des mises à jour</translation>
    </message>
</context>
<context>
    <name>OnlineLibrary</name>
    <message>
        <source>The library could not be saved to %1: %2</source>
        <translation>Impossible d’enregistrer la bibliothèque dans %1 : %2</translation>
    </message>
</context>
<context>
    <name>OverallProgress</name>
    <message>
        <source>%1 of %2 files</source>
        <translation>%1 sur %2 fichiers</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 sur %2</translation>
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
        <translation>Arrêter les téléchargements</translation>
    </message>
    <message>
        <source>Download all</source>
        <translation>Tout télécharger</translation>
    </message>
    <message>
        <source>Open Directory</source>
        <translation>Ouvrir un dossier</translation>
    </message>
    <message>
        <source>&quot;%1&quot; could not be opened: no program for it was found.</source>
        <translation>Impossible d’ouvrir « %1 » : aucun programme adapté n’a été trouvé.</translation>
    </message>
</context>
<context>
    <name>RowDelegateActionButton</name>
    <message>
        <source>Download progress</source>
        <translation>Progression du téléchargement</translation>
    </message>
</context>
<context>
    <name>SearchTextField</name>
    <message>
        <source>Search...</source>
        <translation>Rechercher…</translation>
    </message>
    <message>
        <source>Search the library</source>
        <translation>Rechercher dans la bibliothèque</translation>
    </message>
    <message>
        <source>Clear the search</source>
        <translation>Effacer la recherche</translation>
    </message>
</context>
<context>
    <name>SelectFolderTextField</name>
    <message>
        <source>Choose the folder</source>
        <translation>Choisir le dossier</translation>
    </message>
</context>
<context>
    <name>SelectionPanel</name>
    <message>
        <source>Download Selected</source>
        <translation>Télécharger la sélection</translation>
    </message>
    <message>
        <source>Unselect All</source>
        <translation>Tout désélectionner</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Tout sélectionner</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>The settings could not be saved to %1; check the free space and the folder&apos;s permissions.</source>
        <translation>Impossible d’enregistrer les paramètres dans %1. Vérifiez l’espace disponible et les autorisations du dossier.</translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>Settings</source>
        <translation>Paramètres</translation>
    </message>
    <message>
        <source>DOWNLOAD</source>
        <translation>TÉLÉCHARGEMENT</translation>
    </message>
    <message>
        <source>Download Directory</source>
        <translation>Dossier de téléchargement</translation>
    </message>
    <message>
        <source>Number of simultaneous downloads</source>
        <translation>Nombre de téléchargements simultanés</translation>
    </message>
    <message>
        <source>UPDATES</source>
        <translation>MISES À JOUR</translation>
    </message>
    <message>
        <source>Check for new version on app startup</source>
        <translation>Rechercher une nouvelle version au démarrage</translation>
    </message>
    <message>
        <source>If Files in the library have changed...</source>
        <translation>Si des fichiers de la bibliothèque ont changé…</translation>
    </message>
    <message>
        <source>Always ask before replacing old file(s)</source>
        <translation>Toujours demander avant de remplacer les anciens fichiers</translation>
    </message>
    <message>
        <source>Auto download, archive old file(s)</source>
        <translation>Télécharger automatiquement, archiver les anciens fichiers</translation>
    </message>
    <message>
        <source>Auto download, replace old file(s)</source>
        <translation>Télécharger automatiquement, remplacer les anciens fichiers</translation>
    </message>
    <message>
        <source>Checking...</source>
        <translation>Vérification…</translation>
    </message>
    <message>
        <source>Check for updates now</source>
        <translation>Rechercher des mises à jour</translation>
    </message>
    <message>
        <source>ADDITIONAL OPTIONS</source>
        <translation>OPTIONS SUPPLÉMENTAIRES</translation>
    </message>
    <message>
        <source>Enable logging to assist in improving the application</source>
        <translation>Activer la journalisation pour aider à améliorer l’application</translation>
    </message>
    <message>
        <source>Show confirmation when deleting a file</source>
        <translation>Demander confirmation avant de supprimer un fichier</translation>
    </message>
    <message>
        <source>Save changes</source>
        <translation>Enregistrer</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Sign out</source>
        <translation>Se déconnecter</translation>
    </message>
    <message>
        <source>© 2021 Quenlith. All rights reserved.</source>
        <translation>© 2021 Quenlith. Tous droits réservés.</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Avertissement</translation>
    </message>
    <message>
        <source>Download directory is not writable. Please select different one.</source>
        <translation>Le dossier de téléchargement n’est pas accessible en écriture. Veuillez en choisir un autre.</translation>
    </message>
    <message>
        <source>Quenlith Library Application %1</source>
        <translation>Application de bibliothèque Quenlith %1</translation>
    </message>
    <message>
        <source>Back to the library</source>
        <translation>Retour à la bibliothèque</translation>
    </message>
    <message>
        <source>Scroll the settings</source>
        <translation>Faire défiler les paramètres</translation>
    </message>
    <message>
        <source>Move deleted files to the Trash</source>
        <translation>Placer les fichiers supprimés dans la corbeille</translation>
    </message>
    <message>
        <source>Quenlith web site</source>
        <translation>Site web de Quenlith</translation>
    </message>
    <message>
        <source>Quenlith on Facebook</source>
        <translation>Quenlith sur Facebook</translation>
    </message>
    <message>
        <source>Quenlith on Twitter</source>
        <translation>Quenlith sur Twitter</translation>
    </message>
    <message>
        <source>Limit download speed</source>
        <translation>Limiter la vitesse de téléchargement</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>Vitesse</translation>
    </message>
    <message>
        <source>Download speed limit</source>
        <translation>Limite de vitesse de téléchargement</translation>
    </message>
    <message>
        <source>Unit of the download speed limit</source>
        <translation>Unité de la limite de vitesse</translation>
    </message>
    <message>
        <source>KiB/s</source>
        <translation>Kio/s</translation>
    </message>
    <message>
        <source>MiB/s</source>
        <translation>Mio/s</translation>
    </message>
    <message>
        <source>LIBRARY CHECK</source>
        <translation>VÉRIFICATION DE LA BIBLIOTHÈQUE</translation>
    </message>
    <message>
        <source>Checks every downloaded file against the store&apos;s checksums. Changed and missing files are marked for download again.</source>
        <translation>Vérifie chaque fichier téléchargé avec les sommes de contrôle de la boutique. Les fichiers modifiés ou manquants sont marqués pour être téléchargés à nouveau.</translation>
    </message>
    <message>
        <source>Full check: read every file, also those unchanged since the last check</source>
        <translation>Vérification complète : lire chaque fichier, même ceux inchangés depuis la dernière vérification</translation>
    </message>
    <message>
        <source>Stop the check</source>
        <translation>Arrêter la vérification</translation>
    </message>
    <message>
        <source>Verify library</source>
        <translation>Vérifier la bibliothèque</translation>
    </message>
    <message>
        <source>Library check progress</source>
        <translation>Progression de la vérification</translation>
    </message>
</context>
<context>
    <name>StatusBar</name>
    <message>
        <source>Scanning destination folder.</source>
        <translation>Analyse du dossier de destination.</translation>
    </message>
    <message>
        <source>Some of your files failed to download. Click here to view error.</source>
        <translation>Certains de vos fichiers n’ont pas pu être téléchargés. Cliquez ici pour voir l’erreur.</translation>
    </message>
    <message>
        <source>Show the errors</source>
        <translation>Afficher les erreurs</translation>
    </message>
    <message>
        <source>Close the message</source>
        <translation>Fermer le message</translation>
    </message>
</context>
<context>
    <name>TabPanel</name>
    <message>
        <source>All</source>
        <translation>Tous</translation>
    </message>
    <message>
        <source>Downloaded</source>
        <translation>Téléchargés</translation>
    </message>
    <message>
        <source>Not Downloaded</source>
        <translation>Non téléchargés</translation>
    </message>
    <message>
        <source>Has Updates</source>
        <translation>Mises à jour</translation>
    </message>
    <message>
        <source>New to Old</source>
        <translation>Plus récents d’abord</translation>
    </message>
    <message>
        <source>Old to New</source>
        <translation>Plus anciens d’abord</translation>
    </message>
    <message>
        <source>Title A-Z</source>
        <translation>Titre A-Z</translation>
    </message>
    <message>
        <source>Title Z-A</source>
        <translation>Titre Z-A</translation>
    </message>
    <message>
        <source>Publisher A-Z</source>
        <translation>Éditeur A-Z</translation>
    </message>
    <message>
        <source>Publisher Z-A</source>
        <translation>Éditeur Z-A</translation>
    </message>
    <message>
        <source>Rule System A-Z</source>
        <translation>Système de règles A-Z</translation>
    </message>
    <message>
        <source>Rule System Z-A</source>
        <translation>Système de règles Z-A</translation>
    </message>
    <message>
        <source>Select all</source>
        <translation>Tout sélectionner</translation>
    </message>
    <message>
        <source>Show these products</source>
        <translation>Afficher ces produits</translation>
    </message>
    <message>
        <source>Show as tiles</source>
        <translation>Afficher en mosaïque</translation>
    </message>
    <message>
        <source>Show as a list</source>
        <translation>Afficher en liste</translation>
    </message>
    <message>
        <source>Sort by</source>
        <translation>Trier par</translation>
    </message>
</context>
<context>
    <name>TransferText</name>
    <message>
        <source>%1 B</source>
        <translation>%1 o</translation>
    </message>
    <message>
        <source>%1 kB</source>
        <translation>%1 ko</translation>
    </message>
    <message>
        <source>%1 MB</source>
        <translation>%1 Mo</translation>
    </message>
    <message>
        <source>%1 GB</source>
        <translation>%1 Go</translation>
    </message>
    <message>
        <source>%1/s</source>
        <translation>%1/s</translation>
    </message>
    <message>
        <source>%1 s left</source>
        <translation>encore %1 s</translation>
    </message>
    <message>
        <source>%1 min left</source>
        <translation>encore %1 min</translation>
    </message>
    <message>
        <source>%1 h %2 min left</source>
        <translation>encore %1 h %2 min</translation>
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
        <translation>Mise à jour disponible !</translation>
    </message>
    <message>
        <source>Downloading Update. Please wait...</source>
        <translation>Téléchargement de la mise à jour. Veuillez patienter…</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Update Now</source>
        <translation>Mettre à jour</translation>
    </message>
    <message>
        <source>Later</source>
        <translation>Plus tard</translation>
    </message>
    <message>
        <source>There is new version of this app available. Would you like to
update app right now?</source>
        <translation>Une nouvelle version de cette application est disponible. Voulez-vous
la mettre à jour maintenant ?</translation>
    </message>
    <message>
        <source>There is new version of this app available on its download page.</source>
        <translation>Une nouvelle version de cette application est disponible sur sa page de téléchargement.</translation>
    </message>
    <message>
        <source>Open Page</source>
        <translation>Ouvrir la page</translation>
    </message>
</context>
<context>
    <name>UpdateFileDialog</name>
    <message>
        <source>Update File</source>
        <translation>Mettre à jour le fichier</translation>
    </message>
    <message>
        <source>Remember my Choice</source>
        <translation>Mémoriser mon choix</translation>
    </message>
    <message>
        <source>Overwrite</source>
        <translation>Écraser</translation>
    </message>
    <message>
        <source>Rename Old File</source>
        <translation>Renommer l’ancien fichier</translation>
    </message>
    <message>
        <source>Do not update</source>
        <translation>Ne pas mettre à jour</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Library client for the Tolvane game book store.</source>
        <translation>Client de bibliothèque pour la boutique de livres-jeux Tolvane.</translation>
    </message>
    <message>
        <source>Keep the saved library as JSON text.</source>
        <translation>Conserver la bibliothèque enregistrée au format texte JSON.</translation>
    </message>
    <message>
        <source>Unexpected argument: %1</source>
        <translation>Argument inattendu : %1</translation>
    </message>
</context>
</TS>
