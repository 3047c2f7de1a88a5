<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr" sourcelanguage="en">
<context>
    <name>CallStatsText</name>
    <message>
        <source>camera</source>
        <translation>caméra</translation>
    </message>
    <message>
        <source>screen</source>
        <translation>écran</translation>
    </message>
    <message>
        <source>passthrough</source>
        <translation>transmis tel quel</translation>
    </message>
    <message>
        <source>Round trip:  %1 ms</source>
        <translation>Aller-retour : %1 ms</translation>
    </message>
    <message>
        <source>Peer loss:   %1 %</source>
        <translation>Pertes distantes : %1 %</translation>
    </message>
    <message>
        <source>Jitter:      %1 ms</source>
        <translation>Gigue :      %1 ms</translation>
    </message>
    <message>
        <source>Loss:        %1 %</source>
        <translation>Pertes locales : %1 %</translation>
    </message>
    <message>
        <source>Voice:       %1 sent, %2 received</source>
        <translation>Voix :       %1 envoyés, %2 reçus</translation>
    </message>
    <message>
        <source>Jitter buf:  %1 ms</source>
        <translation>Tampon de gigue : %1 ms</translation>
    </message>
    <message>
        <source>Mouth-ear:   ~%1 ms (est.)</source>
        <translation>Bouche-oreille : ~%1 ms (estimé)</translation>
    </message>
    <message>
        <source>No call</source>
        <translation>Aucun appel</translation>
    </message>
    <message>
        <source>Video:       %1 fps sent, %2 fps shown</source>
        <translation>Vidéo :      %1 i/s envoyées, %2 i/s affichées</translation>
    </message>
    <message>
        <source>Video data:  %1 B/s out, %2 B/s in</source>
        <translation>Données vidéo : %1 o/s sortants, %2 o/s entrants</translation>
    </message>
    <message>
        <source>Quality:     %1 (JPEG)</source>
        <translation>Qualité :    %1 (JPEG)</translation>
    </message>
    <message>
        <source>Source:      %1</source>
        <translation>Source :     %1</translation>
    </message>
    <message>
        <source>camera&apos;s JPEG, as it came</source>
        <translation>JPEG de la caméra, tel quel</translation>
    </message>
    <message>
        <source>Encryption:  none</source>
        <translation>Chiffrement : aucun</translation>
    </message>
    <message>
        <source>Encryption:  %1</source>
        <translation>Chiffrement : %1</translation>
    </message>
    <message>
        <source>             voice SRTP AES-128-GCM, video AES-128-GCM</source>
        <translation>             voix SRTP AES-128-GCM, vidéo AES-128-GCM</translation>
    </message>
    <message>
        <source>Peer key:    %1%2</source>
        <translation>Clé distante : %1%2</translation>
    </message>
    <message>
        <source> KEY CHANGED</source>
        <translation> CLÉ MODIFIÉE</translation>
    </message>
    <message>
        <source> verified</source>
        <translation> vérifiée</translation>
    </message>
    <message>
        <source> not verified</source>
        <translation> non vérifiée</translation>
    </message>
    <message>
        <source>Refused:     %1 auth failures, %2 replays</source>
        <translation>Refusés :    %1 échecs d’authentification, %2 rejeux</translation>
    </message>
</context>
<context>
    <name>TApplication</name>
    <message>
        <source>Unknown error.</source>
        <translation>Erreur inconnue.</translation>
    </message>
</context>
<context>
    <name>TCallChannel</name>
    <message>
        <source>no answer in %1 s</source>
        <translation>aucune réponse en %1 s</translation>
    </message>
    <message>
        <source>a frame of a length no frame has</source>
        <translation>une trame d’une longueur impossible</translation>
    </message>
    <message>
        <source>closed during the handshake</source>
        <translation>fermée pendant la négociation</translation>
    </message>
    <message>
        <source>the callee sent no nonce</source>
        <translation>l’appelé n’a envoyé aucun nonce</translation>
    </message>
    <message>
        <source>the caller sent no commitment</source>
        <translation>l’appelant n’a envoyé aucun engagement</translation>
    </message>
    <message>
        <source>the caller revealed nothing</source>
        <translation>l’appelant n’a rien révélé</translation>
    </message>
    <message>
        <source>the numbers did not check out</source>
        <translation>les nombres ne concordaient pas</translation>
    </message>
    <message>
        <source>no keys could be made for the call</source>
        <translation>aucune clé n’a pu être créée pour l’appel</translation>
    </message>
</context>
<context>
    <name>TCallSession</name>
    <message>
        <source>Microphone lost: using the default</source>
        <translation>Microphone perdu : utilisation du périphérique par défaut</translation>
    </message>
    <message>
        <source>Speaker lost: using the default</source>
        <translation>Haut-parleur perdu : utilisation du périphérique par défaut</translation>
    </message>
    <message>
        <source>The microphone cannot be used: %1
The call goes on, but the other side does not hear you.</source>
        <translation>Le microphone ne peut pas être utilisé : %1
L’appel continue, mais votre correspondant ne vous entend pas.</translation>
    </message>
    <message>
        <source>The speaker cannot be used: %1
The call goes on, but you do not hear the other side.</source>
        <translation>Le haut-parleur ne peut pas être utilisé : %1
L’appel continue, mais vous n’entendez pas votre correspondant.</translation>
    </message>
</context>
<context>
    <name>TCameraModePage</name>
    <message>
        <source>Format</source>
        <translation>Format</translation>
    </message>
</context>
<context>
    <name>TDesktopNotices</name>
    <message>
        <source>%1 calling...</source>
        <translation>%1 appelle...</translation>
    </message>
    <message>
        <source>%1 (%2) calling...</source>
        <translation>%1 (%2) appelle...</translation>
    </message>
    <message>
        <source>Text message received</source>
        <translation>Message texte reçu</translation>
    </message>
    <message>
        <source>File received</source>
        <translation>Fichier reçu</translation>
    </message>
    <message>
        <source>&quot;%1&quot; from %2</source>
        <translation>« %1 » de %2</translation>
    </message>
    <message>
        <source>Answer</source>
        <translation>Répondre</translation>
    </message>
    <message>
        <source>Decline</source>
        <translation>Refuser</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>Afficher</translation>
    </message>
    <message numerus="yes">
        <source>%n files and messages received</source>
        <translation>
            <numerusform>%n fichier ou message reçu</numerusform>
            <numerusform>%n fichiers et messages reçus</numerusform>
        </translation>
    </message>
    <message>
        <source>Incoming call</source>
        <translation>Appel entrant</translation>
    </message>
</context>
<context>
    <name>TExclusiveFile</name>
    <message>
        <source>%1 is already open.</source>
        <translation>%1 est déjà ouvert.</translation>
    </message>
    <message>
        <source>%1 does not exist.</source>
        <translation>%1 n’existe pas.</translation>
    </message>
    <message>
        <source>%1 is in use by another program.</source>
        <translation>%1 est utilisé par un autre programme.</translation>
    </message>
    <message>
        <source>Cannot open %1: %2.</source>
        <translation>Impossible d’ouvrir %1 : %2.</translation>
    </message>
    <message>
        <source>%1 is a folder, not a file.</source>
        <translation>%1 est un dossier, pas un fichier.</translation>
    </message>
    <message>
        <source>%1 is not a regular file.</source>
        <translation>%1 n’est pas un fichier ordinaire.</translation>
    </message>
    <message>
        <source>%1 is open for writing in another program.</source>
        <translation>%1 est ouvert en écriture dans un autre programme.</translation>
    </message>
</context>
<context>
    <name>TFGraphConfig</name>
    <message>
        <source>ParlavueVP Video Device Settings</source>
        <translation>ParlavueVP – Réglages du périphérique vidéo</translation>
    </message>
    <message>
        <source> Capture Sources </source>
        <translation> Sources de capture </translation>
    </message>
    <message>
        <source>Video</source>
        <translation>Vidéo</translation>
    </message>
    <message>
        <source>Video Pixel Format</source>
        <translation>Format de pixel vidéo</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Appliquer</translation>
    </message>
    <message>
        <source>Dialogs</source>
        <translation>Boîtes de dialogue</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
</context>
<context>
    <name>TGstCamera</name>
    <message>
        <source>The camera is gone.</source>
        <translation>La caméra a disparu.</translation>
    </message>
    <message>
        <source>No screen was chosen to be shared.</source>
        <translation>Aucun écran n’a été choisi pour le partage.</translation>
    </message>
    <message>
        <source>The GStreamer element %1 is missing; install it and try again.</source>
        <translation>L’élément GStreamer %1 est manquant ; installez-le et réessayez.</translation>
    </message>
    <message>
        <source>The camera cannot be opened in the chosen mode.</source>
        <translation>La caméra ne peut pas être ouverte dans le mode choisi.</translation>
    </message>
    <message>
        <source>The camera sent no picture within %1 seconds.</source>
        <translation>La caméra n’a envoyé aucune image en %1 secondes.</translation>
    </message>
    <message>
        <source>The camera could not be started: %1</source>
        <translation>La caméra n’a pas pu démarrer : %1</translation>
    </message>
    <message>
        <source>The camera was disconnected.</source>
        <translation>La caméra a été déconnectée.</translation>
    </message>
</context>
<context>
    <name>TGstElements</name>
    <message>
        <source>These GStreamer elements are missing:
%1

Install them with:
    sudo apt-get install %2</source>
        <translation>Ces éléments GStreamer sont manquants :
%1

Installez-les avec :
    sudo apt-get install %2</translation>
    </message>
</context>
<context>
    <name>THostLookup</name>
    <message>
        <source>Socket Error # 11001
Host not found.</source>
        <translation>Erreur de socket n° 11001
Hôte introuvable.</translation>
    </message>
</context>
<context>
    <name>TIdentity</name>
    <message>
        <source>Calls, files and messages are not encrypted: %1</source>
        <translation>Les appels, fichiers et messages ne sont pas chiffrés : %1</translation>
    </message>
</context>
<context>
    <name>TIniFile</name>
    <message>
        <source>Unable to write to %1</source>
        <translation>Impossible d’écrire dans %1</translation>
    </message>
</context>
<context>
    <name>TKnownKeys</name>
    <message>
        <source>The file of your contacts&apos; keys could not be read; it was set aside as %1. Your contacts&apos; keys will be learnt again.</source>
        <translation>Le fichier des clés de vos contacts n’a pas pu être lu ; il a été mis de côté sous le nom %1. Les clés de vos contacts seront apprises à nouveau.</translation>
    </message>
</context>
<context>
    <name>TLineFile</name>
    <message>
        <source>Cannot open %1: %2</source>
        <translation>Impossible d’ouvrir %1 : %2</translation>
    </message>
    <message>
        <source>Cannot read %1: %2</source>
        <translation>Impossible de lire %1 : %2</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>Impossible d’écrire %1 : %2</translation>
    </message>
    <message>
        <source>Cannot write %1: it could not be written whole</source>
        <translation>Impossible d’écrire %1 : il n’a pas pu être écrit en entier</translation>
    </message>
</context>
<context>
    <name>TPhone</name>
    <message>
        <source>Waiting for the desktop: pick the screen or window to share</source>
        <translation>En attente du bureau : choisissez l’écran ou la fenêtre à partager</translation>
    </message>
    <message>
        <source>Calling...</source>
        <translation>Appel en cours...</translation>
    </message>
    <message>
        <source>Could not bind socket. Address and port are already in use.</source>
        <translation>Impossible de lier le socket. L’adresse et le port sont déjà utilisés.</translation>
    </message>
    <message>
        <source>Can&apos;t init capture!</source>
        <translation>Impossible d’initialiser la capture !</translation>
    </message>
    <message>
        <source>Key changed: %1</source>
        <translation>Clé modifiée : %1</translation>
    </message>
    <message>
        <source>Encrypted call from %1</source>
        <translation>Appel chiffré de %1</translation>
    </message>
    <message>
        <source>Encrypted call from %1 (new key)</source>
        <translation>Appel chiffré de %1 (nouvelle clé)</translation>
    </message>
    <message>
        <source>Unencrypted call from %1: this address used encryption before</source>
        <translation>Appel non chiffré de %1 : cette adresse utilisait le chiffrement auparavant</translation>
    </message>
    <message>
        <source>Unencrypted call from %1</source>
        <translation>Appel non chiffré de %1</translation>
    </message>
    <message>
        <source>Can&apos;t reach %1&apos;s Parlavue securely (%2). Call unencrypted?</source>
        <translation>Impossible de joindre Parlavue sur %1 de façon sécurisée (%2). Appeler sans chiffrement ?</translation>
    </message>
    <message>
        <source>%1&apos;s key has changed: reinstalled, or someone in between. Call anyway?</source>
        <translation>La clé de %1 a changé : réinstallation, ou quelqu’un s’est interposé. Appeler quand même ?</translation>
    </message>
    <message>
        <source>Voice/pictures from %1 cannot be decrypted</source>
        <translation>La voix et les images de %1 ne peuvent pas être déchiffrées</translation>
    </message>
    <message>
        <source>Different numbers: the call was ended</source>
        <translation>Nombres différents : l’appel a été terminé</translation>
    </message>
    <message>
        <source>Encrypted · verified</source>
        <translation>Chiffré · vérifié</translation>
    </message>
    <message>
        <source>not verified</source>
        <translation>non vérifié</translation>
    </message>
    <message>
        <source>compare </source>
        <translation>comparez </translation>
    </message>
    <message>
        <source>Encrypted · Key changed · </source>
        <translation>Chiffré · Clé modifiée · </translation>
    </message>
    <message>
        <source>Encrypted · </source>
        <translation>Chiffré · </translation>
    </message>
    <message>
        <source>Not encrypted: this address used encryption</source>
        <translation>Non chiffré : cette adresse utilisait le chiffrement</translation>
    </message>
    <message>
        <source>Not encrypted</source>
        <translation>Non chiffré</translation>
    </message>
</context>
<context>
    <name>TPropertyFrame</name>
    <message>
        <source>This device offers no settings here.</source>
        <translation>Ce périphérique n’offre aucun réglage ici.</translation>
    </message>
    <message>
        <source>Not in use while another setting rules it</source>
        <translation>Inactif tant qu’un autre réglage le commande</translation>
    </message>
</context>
<context>
    <name>TScreenCastPortal</name>
    <message>
        <source>This desktop offers no screen sharing (no screen-cast portal).</source>
        <translation>Ce bureau ne propose pas le partage d’écran (aucun portail de capture d’écran).</translation>
    </message>
    <message>
        <source>The desktop&apos;s screen-cast portal did not answer.</source>
        <translation>Le portail de capture d’écran du bureau n’a pas répondu.</translation>
    </message>
    <message>
        <source>The desktop refused to share the screen.</source>
        <translation>Le bureau a refusé de partager l’écran.</translation>
    </message>
    <message>
        <source>The desktop&apos;s screen-cast portal gave an answer that makes no sense.</source>
        <translation>Le portail de capture d’écran du bureau a donné une réponse incohérente.</translation>
    </message>
    <message>
        <source>The desktop&apos;s screen-cast portal failed (%1).</source>
        <translation>Le portail de capture d’écran du bureau a échoué (%1).</translation>
    </message>
    <message>
        <source>The session bus cannot hand over the screen&apos;s stream.</source>
        <translation>Le bus de session ne peut pas transmettre le flux de l’écran.</translation>
    </message>
    <message>
        <source>The screen was not shared: the choice was cancelled.</source>
        <translation>L’écran n’a pas été partagé : le choix a été annulé.</translation>
    </message>
    <message>
        <source>No screen was chosen within %1 seconds.</source>
        <translation>Aucun écran n’a été choisi en %1 secondes.</translation>
    </message>
</context>
<context>
    <name>TSecureSignalling</name>
    <message>
        <source>The call was not placed: %1 can&apos;t take an encrypted call, and only encrypted calls are made</source>
        <translation>L’appel n’a pas été passé : %1 ne peut pas recevoir d’appel chiffré, et seuls les appels chiffrés sont passés</translation>
    </message>
    <message>
        <source>The call was not placed: %1&apos;s key has changed</source>
        <translation>L’appel n’a pas été passé : la clé de %1 a changé</translation>
    </message>
    <message>
        <source>The secure connection failed (%1)</source>
        <translation>La connexion sécurisée a échoué (%1)</translation>
    </message>
</context>
<context>
    <name>TSoundDeviceChoice</name>
    <message>
        <source>%1 unplugged: using the default</source>
        <translation>%1 débranché : utilisation du périphérique par défaut</translation>
    </message>
    <message>
        <source>%1 plugged in: using it again</source>
        <translation>%1 branché : de nouveau utilisé</translation>
    </message>
    <message>
        <source>Microphone</source>
        <translation>Microphone</translation>
    </message>
    <message>
        <source>Speaker</source>
        <translation>Haut-parleur</translation>
    </message>
</context>
<context>
    <name>TStrmConnection</name>
    <message>
        <source>10060:Connection timed out</source>
        <translation>10060:Délai de connexion dépassé</translation>
    </message>
    <message>
        <source>Socket capture aborted</source>
        <translation>Réception sur le socket interrompue</translation>
    </message>
    <message>
        <source>not enough free space</source>
        <translation>espace libre insuffisant</translation>
    </message>
    <message>
        <source>The received data cannot be stored: %1</source>
        <translation>Les données reçues ne peuvent pas être enregistrées : %1</translation>
    </message>
    <message>
        <source>%1 of %2 bytes arrived</source>
        <translation>%1 octets sur %2 reçus</translation>
    </message>
    <message>
        <source>The body came slower than %1 bytes in %2 s.</source>
        <translation>Les données sont arrivées à moins de %1 octets en %2 s.</translation>
    </message>
</context>
<context>
    <name>TStrmSender</name>
    <message>
        <source>The receiver closed the connection without acknowledging the message.</source>
        <translation>Le destinataire a fermé la connexion sans accuser réception du message.</translation>
    </message>
    <message>
        <source>Host Lookup Timed Out</source>
        <translation>Délai de recherche de l’hôte dépassé</translation>
    </message>
    <message>
        <source>Connection Timed out</source>
        <translation>Délai de connexion dépassé</translation>
    </message>
    <message>
        <source>no answer in %1 s</source>
        <translation>aucune réponse en %1 s</translation>
    </message>
    <message>
        <source>10060:Connection timed out</source>
        <translation>10060:Délai de connexion dépassé</translation>
    </message>
    <message>
        <source>Connection Canceled</source>
        <translation>Connexion annulée</translation>
    </message>
    <message>
        <source>Socket send aborted</source>
        <translation>Envoi sur le socket interrompu</translation>
    </message>
    <message>
        <source>Files of 2 GB or more cannot be sent.</source>
        <translation>Les fichiers de 2 Go ou plus ne peuvent pas être envoyés.</translation>
    </message>
    <message>
        <source>The name is longer than 9999 bytes and cannot be sent.</source>
        <translation>Le nom dépasse 9999 octets et ne peut pas être envoyé.</translation>
    </message>
    <message>
        <source>Null Remote Address</source>
        <translation>Adresse distante nulle</translation>
    </message>
    <message>
        <source>%1 can&apos;t receive encrypted files, and only encrypted ones are sent</source>
        <translation>%1 ne peut pas recevoir de fichiers chiffrés, et seuls des fichiers chiffrés sont envoyés</translation>
    </message>
    <message>
        <source>Connection Failed</source>
        <translation>Échec de la connexion</translation>
    </message>
    <message>
        <source>The receiver&apos;s key has changed; nothing was sent.</source>
        <translation>La clé du destinataire a changé ; rien n’a été envoyé.</translation>
    </message>
    <message>
        <source>The secure connection failed (%1)</source>
        <translation>La connexion sécurisée a échoué (%1)</translation>
    </message>
    <message>
        <source>The stream cannot be read: %1</source>
        <translation>Le flux ne peut pas être lu : %1</translation>
    </message>
    <message>
        <source>it ended before its size</source>
        <translation>il s’est terminé avant sa taille annoncée</translation>
    </message>
    <message>
        <source>10054:Connection reset by peer</source>
        <translation>10054:Connexion réinitialisée par le correspondant</translation>
    </message>
</context>
<context>
    <name>TV4l2TunerPage</name>
    <message>
        <source>Video standard</source>
        <translation>Norme vidéo</translation>
    </message>
    <message>
        <source>Frequency (MHz)</source>
        <translation>Fréquence (MHz)</translation>
    </message>
    <message>
        <source>TV Tuner</source>
        <translation>Tuner TV</translation>
    </message>
</context>
<context>
    <name>TVOIPMedia</name>
    <message>
        <source>There is no voice link to carry the call.</source>
        <translation>Aucune liaison vocale ne peut porter l’appel.</translation>
    </message>
</context>
<context>
    <name>TVideoCapture</name>
    <message>
        <source>Camera</source>
        <translation>Caméra</translation>
    </message>
    <message>
        <source> - Capture</source>
        <translation> - Capture</translation>
    </message>
    <message>
        <source>Can&apos;t create video capture filter - propably you havn&apos;t video capture device!</source>
        <translation>Impossible de créer le filtre de capture vidéo – vous n’avez probablement pas de périphérique de capture vidéo !</translation>
    </message>
    <message>
        <source>Cannot run preview graph!</source>
        <translation>Impossible de lancer l’aperçu !</translation>
    </message>
    <message>
        <source>Video Format</source>
        <translation>Format vidéo</translation>
    </message>
    <message>
        <source>Video Source</source>
        <translation>Source vidéo</translation>
    </message>
    <message>
        <source>Video Display</source>
        <translation>Affichage vidéo</translation>
    </message>
    <message>
        <source>Video Capture Filter</source>
        <translation>Filtre de capture vidéo</translation>
    </message>
    <message>
        <source>Video Crossbar</source>
        <translation>Commutateur vidéo</translation>
    </message>
    <message>
        <source>TV Tuner</source>
        <translation>Tuner TV</translation>
    </message>
    <message>
        <source>Audio Capture Filter</source>
        <translation>Filtre de capture audio</translation>
    </message>
    <message>
        <source>Audio Crossbar</source>
        <translation>Commutateur audio</translation>
    </message>
    <message>
        <source>TV Audio</source>
        <translation>Son TV</translation>
    </message>
    <message>
        <source>Video Capture Pin</source>
        <translation>Broche de capture vidéo</translation>
    </message>
    <message>
        <source>Video Preview Pin</source>
        <translation>Broche d’aperçu vidéo</translation>
    </message>
    <message>
        <source>Audio Capture Pin</source>
        <translation>Broche de capture audio</translation>
    </message>
    <message>
        <source>Video Compressor</source>
        <translation>Compresseur vidéo</translation>
    </message>
    <message>
        <source>Audio Compressor</source>
        <translation>Compresseur audio</translation>
    </message>
</context>
<context>
    <name>TVideoLink</name>
    <message>
        <source>The screen does not fit a datagram.</source>
        <translation>L’écran ne tient pas dans un datagramme.</translation>
    </message>
    <message>
        <source>The frame could not be compressed.</source>
        <translation>L’image n’a pas pu être compressée.</translation>
    </message>
    <message>
        <source>The frame is larger than the send buffer.</source>
        <translation>L’image dépasse le tampon d’envoi.</translation>
    </message>
    <message>
        <source>The picture could not be sealed.</source>
        <translation>L’image n’a pas pu être scellée.</translation>
    </message>
</context>
<context>
    <name>TfrmCalling</name>
    <message>
        <source>Calling Status</source>
        <translation>État de l’appel</translation>
    </message>
    <message>
        <source>Calling...</source>
        <translation>Appel en cours...</translation>
    </message>
    <message>
        <source>Cancel Call</source>
        <translation>Annuler l’appel</translation>
    </message>
</context>
<context>
    <name>TfrmExport</name>
    <message>
        <source>Searching For Network Clients...</source>
        <translation>Recherche des ordinateurs du réseau...</translation>
    </message>
    <message>
        <source>Searching...</source>
        <translation>Recherche...</translation>
    </message>
</context>
<context>
    <name>TfrmIP</name>
    <message>
        <source>File [IPAddress.dat] not Found.</source>
        <translation>Fichier [IPAddress.dat] introuvable.</translation>
    </message>
    <message>
        <source>Please enter Contact Name and IP Address.</source>
        <translation>Veuillez saisir le nom du contact et l’adresse IP.</translation>
    </message>
    <message>
        <source>Delete selected contact?</source>
        <translation>Supprimer le contact sélectionné ?</translation>
    </message>
    <message>
        <source>Wrong Address Format.</source>
        <translation>Format d’adresse incorrect.</translation>
    </message>
    <message>
        <source>IP Address Book</source>
        <translation>Carnet d’adresses IP</translation>
    </message>
    <message>
        <source>Contact Name</source>
        <translation>Nom du contact</translation>
    </message>
    <message>
        <source>Host Name / IP Address</source>
        <translation>Nom d’hôte / adresse IP</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Ajouter</translation>
    </message>
    <message>
        <source>Clear List</source>
        <translation>Vider la liste</translation>
    </message>
    <message>
        <source>Key...</source>
        <translation>Clé...</translation>
    </message>
    <message>
        <source>Contact Key</source>
        <translation>Clé du contact</translation>
    </message>
    <message>
        <source>Double Click to use IP Address</source>
        <translation>Double-cliquez pour utiliser l’adresse IP</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Supprimer</translation>
    </message>
    <message>
        <source>Who&apos;s Online?</source>
        <translation>Qui est en ligne ?</translation>
    </message>
    <message>
        <source>Call Selected Contact</source>
        <translation>Appeler le contact sélectionné</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Contacts</translation>
    </message>
    <message>
        <source>Select a contact to give it a key.</source>
        <translation>Sélectionnez un contact pour lui attribuer une clé.</translation>
    </message>
    <message>
        <source>A key can be given to a contact with an IP address only.</source>
        <translation>Seul un contact avec une adresse IP peut recevoir une clé.</translation>
    </message>
    <message>
        <source>The key of %1, as its settings window shows it under &quot;Your key&quot; (Copy):</source>
        <translation>La clé de %1, telle que sa fenêtre de réglages l’affiche sous « Votre clé » (Copier) :</translation>
    </message>
    <message>
        <source>That is not a key: a key is 52 letters and digits, as the other computer&apos;s settings window shows it under &quot;Your key&quot;.</source>
        <translation>Ce n’est pas une clé : une clé compte 52 lettres et chiffres, telle que la fenêtre de réglages de l’autre ordinateur l’affiche sous « Votre clé ».</translation>
    </message>
    <message>
        <source>No key known: calls and files go unencrypted unless it announces one</source>
        <translation>Aucune clé connue : appels et fichiers passent en clair tant qu’il n’en annonce pas</translation>
    </message>
    <message>
        <source>verified</source>
        <translation>vérifiée</translation>
    </message>
    <message>
        <source>refused</source>
        <translation>refusée</translation>
    </message>
    <message>
        <source>seen</source>
        <translation>vue</translation>
    </message>
    <message>
        <source>Encrypted: key %1, %2</source>
        <translation>Chiffré : clé %1, %2</translation>
    </message>
    <message>
        <source>Cannot create file %1</source>
        <translation>Impossible de créer le fichier %1</translation>
    </message>
</context>
<context>
    <name>TfrmMain</name>
    <message>
        <source>Enter Host Name To Call</source>
        <translation>Nom de l’hôte à appeler</translation>
    </message>
    <message>
        <source>Halvorn Software - Parlavue Video Phone</source>
        <translation>Halvorn Software - Visiophone Parlavue</translation>
    </message>
    <message>
        <source>Microphone Level %1</source>
        <translation>Niveau du microphone %1</translation>
    </message>
    <message>
        <source>Volume Level %1 %</source>
        <translation>Volume %1 %</translation>
    </message>
    <message>
        <source>Please enter a valid IP Address or Host Name First.</source>
        <translation>Veuillez d’abord saisir une adresse IP ou un nom d’hôte valide.</translation>
    </message>
    <message>
        <source> calling...</source>
        <translation> appelle...</translation>
    </message>
    <message>
        <source>Call Security</source>
        <translation>Sécurité de l’appel</translation>
    </message>
    <message>
        <source>Same numbers</source>
        <translation>Mêmes nombres</translation>
    </message>
    <message>
        <source>Different numbers</source>
        <translation>Nombres différents</translation>
    </message>
    <message>
        <source>Toggle Sidebar</source>
        <translation>Afficher/masquer le panneau</translation>
    </message>
    <message>
        <source>Show Sidebar</source>
        <translation>Afficher le panneau latéral</translation>
    </message>
    <message>
        <source>Toggle Preview</source>
        <translation>Afficher/masquer l’aperçu</translation>
    </message>
    <message>
        <source>Show Preview Picture</source>
        <translation>Afficher l’image d’aperçu</translation>
    </message>
    <message>
        <source>Minimize Window</source>
        <translation>Réduire la fenêtre</translation>
    </message>
    <message>
        <source>Close Window</source>
        <translation>Fermer la fenêtre</translation>
    </message>
    <message>
        <source>Close Window, Title Bar</source>
        <translation>Fermer la fenêtre, barre de titre</translation>
    </message>
    <message>
        <source>Your IP Address</source>
        <translation>Votre adresse IP</translation>
    </message>
    <message>
        <source>Make / Answer Call</source>
        <translation>Appeler / Répondre</translation>
    </message>
    <message>
        <source>Make or Answer Call</source>
        <translation>Appeler ou répondre</translation>
    </message>
    <message>
        <source>End / Decline Call</source>
        <translation>Raccrocher / Refuser</translation>
    </message>
    <message>
        <source>End or Decline Call</source>
        <translation>Raccrocher ou refuser l’appel</translation>
    </message>
    <message>
        <source>Call Settings...</source>
        <translation>Réglages d’appel...</translation>
    </message>
    <message>
        <source>Call Settings</source>
        <translation>Réglages d’appel</translation>
    </message>
    <message>
        <source>Telephone Book...</source>
        <translation>Annuaire...</translation>
    </message>
    <message>
        <source>Telephone Book</source>
        <translation>Annuaire</translation>
    </message>
    <message>
        <source>Take Snapshot</source>
        <translation>Prendre un instantané</translation>
    </message>
    <message>
        <source>Maximize / Restore</source>
        <translation>Agrandir / Restaurer</translation>
    </message>
    <message>
        <source>Maximize or Restore</source>
        <translation>Agrandir ou restaurer</translation>
    </message>
    <message>
        <source>Mute Microphone</source>
        <translation>Couper le microphone</translation>
    </message>
    <message>
        <source>Close Parlavue</source>
        <translation>Quitter Parlavue</translation>
    </message>
    <message>
        <source>Microphone Level</source>
        <translation>Niveau du microphone</translation>
    </message>
    <message>
        <source>Volume Level</source>
        <translation>Volume</translation>
    </message>
    <message>
        <source>Microphone Level minimum 0</source>
        <translation>Niveau du microphone minimum 0</translation>
    </message>
    <message>
        <source>Volume Level minimum 0</source>
        <translation>Volume minimum 0</translation>
    </message>
    <message>
        <source>Speaker</source>
        <translation>Haut-parleur</translation>
    </message>
    <message>
        <source>Stop/Start Preview</source>
        <translation>Arrêter/lancer l’aperçu</translation>
    </message>
    <message>
        <source>Camera Preview</source>
        <translation>Aperçu de la caméra</translation>
    </message>
    <message>
        <source>Transfer File(s)...</source>
        <translation>Transférer des fichiers...</translation>
    </message>
    <message>
        <source>Transfer Files</source>
        <translation>Transférer des fichiers</translation>
    </message>
    <message>
        <source>Video Settings...</source>
        <translation>Réglages vidéo...</translation>
    </message>
    <message>
        <source>Video Settings</source>
        <translation>Réglages vidéo</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Arrêt</translation>
    </message>
    <message>
        <source>Video Frame too large. Lower resolution on video camera.</source>
        <translation>Image vidéo trop grande. Réduisez la résolution de la caméra.</translation>
    </message>
    <message>
        <source>Calls the host in the field, or answers a call that rings</source>
        <translation>Appelle l’hôte indiqué dans le champ, ou répond à un appel qui sonne</translation>
    </message>
    <message>
        <source>Ends the call, or declines one that rings</source>
        <translation>Termine l’appel, ou refuse celui qui sonne</translation>
    </message>
    <message>
        <source>Your caller ID, ring tone, ring time and folder for received files</source>
        <translation>Votre identifiant, la sonnerie, sa durée et le dossier des fichiers reçus</translation>
    </message>
    <message>
        <source>Your contacts, and who is online</source>
        <translation>Vos contacts, et qui est en ligne</translation>
    </message>
    <message>
        <source>Copies the picture to the clipboard</source>
        <translation>Copie l’image dans le presse-papiers</translation>
    </message>
    <message>
        <source>Fills the screen, or gives it back</source>
        <translation>Remplit l’écran, ou le rend</translation>
    </message>
    <message>
        <source>Mutes and unmutes you during a call</source>
        <translation>Coupe et rétablit votre micro pendant un appel</translation>
    </message>
    <message>
        <source>Ends the program</source>
        <translation>Quitte le programme</translation>
    </message>
    <message>
        <source>Stops or starts your camera&apos;s picture</source>
        <translation>Arrête ou lance l’image de votre caméra</translation>
    </message>
    <message>
        <source>Sends files and messages to the host in the field</source>
        <translation>Envoie des fichiers et des messages à l’hôte indiqué dans le champ</translation>
    </message>
    <message>
        <source>Chooses the camera</source>
        <translation>Choisit la caméra</translation>
    </message>
    <message>
        <source>Shows or hides your own picture</source>
        <translation>Affiche ou masque votre propre image</translation>
    </message>
    <message>
        <source>Minimizes the window</source>
        <translation>Réduit la fenêtre</translation>
    </message>
    <message>
        <source>Closes the window and ends the program</source>
        <translation>Ferme la fenêtre et quitte le programme</translation>
    </message>
    <message>
        <source>Shows or hides the buttons beside the picture</source>
        <translation>Affiche ou masque les boutons à côté de l’image</translation>
    </message>
</context>
<context>
    <name>TfrmNetworkClients</name>
    <message>
        <source>Online Network Clients</source>
        <translation>Ordinateurs en ligne</translation>
    </message>
    <message>
        <source>Network clients that are currently online:</source>
        <translation>Ordinateurs actuellement en ligne :</translation>
    </message>
    <message>
        <source>Refresh List</source>
        <translation>Actualiser la liste</translation>
    </message>
    <message>
        <source>Add Host Names To List</source>
        <translation>Ajouter les noms d’hôte à la liste</translation>
    </message>
    <message>
        <source>Network Provider: </source>
        <translation>Fournisseur réseau : </translation>
    </message>
    <message>
        <source>Computer Name: </source>
        <translation>Nom de l’ordinateur : </translation>
    </message>
    <message>
        <source>Host Name and Connection Path: \\</source>
        <translation>Nom d’hôte et chemin de connexion : \\</translation>
    </message>
    <message>
        <source>; it announces no encryption key</source>
        <translation> ; il n’annonce aucune clé de chiffrement</translation>
    </message>
    <message>
        <source>; it announces the encryption key %1 ...</source>
        <translation> ; il annonce la clé de chiffrement %1 ...</translation>
    </message>
    <message>
        <source>Runs Parlavue: this computer can answer a call</source>
        <translation>Parlavue est lancé : cet ordinateur peut répondre à un appel</translation>
    </message>
</context>
<context>
    <name>TfrmSettings</name>
    <message>
        <source>Supported Media Files|*.mp3;*.wav;*.wma|MP3 (*.mp3)|*.mp3|Wave (*.wav)|*.wav|Windows Media Audio (*.wma)|*.wma</source>
        <translation>Fichiers multimédias pris en charge|*.mp3;*.wav;*.wma|MP3 (*.mp3)|*.mp3|Wave (*.wav)|*.wav|Windows Media Audio (*.wma)|*.wma</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Réglages</translation>
    </message>
    <message>
        <source>Ring Tone</source>
        <translation>Sonnerie</translation>
    </message>
    <message>
        <source>Ring Time (sec)</source>
        <translation>Durée sonnerie (s)</translation>
    </message>
    <message>
        <source>Automatically answer incoming calls.</source>
        <translation>Répondre automatiquement aux appels entrants.</translation>
    </message>
    <message>
        <source>Echo cancellation</source>
        <translation>Annulation d’écho</translation>
    </message>
    <message>
        <source>Noise suppression</source>
        <translation>Réduction du bruit</translation>
    </message>
    <message>
        <source>Unanswered Message</source>
        <translation>Message d’absence</translation>
    </message>
    <message>
        <source>Caller ID</source>
        <translation>Identifiant d’appelant</translation>
    </message>
    <message>
        <source>Files Receive Path</source>
        <translation>Dossier de réception</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Enregistrer</translation>
    </message>
    <message>
        <source>Video Options</source>
        <translation>Options vidéo</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
    <message>
        <source>Microphone</source>
        <translation>Microphone</translation>
    </message>
    <message>
        <source>Speaker</source>
        <translation>Haut-parleur</translation>
    </message>
    <message>
        <source>Your key</source>
        <translation>Votre clé</translation>
    </message>
    <message>
        <source>Not available</source>
        <translation>Non disponible</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copier</translation>
    </message>
    <message>
        <source>Copy Your Key</source>
        <translation>Copier votre clé</translation>
    </message>
    <message>
        <source>Show this computer on the network</source>
        <translation>Montrer cet ordinateur sur le réseau</translation>
    </message>
    <message>
        <source>Encryption</source>
        <translation>Chiffrement</translation>
    </message>
    <message>
        <source>Prefer encrypted</source>
        <translation>Chiffré de préférence</translation>
    </message>
    <message>
        <source>Encrypted only</source>
        <translation>Chiffré uniquement</translation>
    </message>
    <message>
        <source>Choose Ring Tone</source>
        <translation>Choisir la sonnerie</translation>
    </message>
    <message>
        <source>Choose Files Receive Path</source>
        <translation>Choisir le dossier de réception</translation>
    </message>
    <message>
        <source>System default</source>
        <translation>Par défaut du système</translation>
    </message>
    <message>
        <source>%1 (not plugged in)</source>
        <translation>%1 (non branché)</translation>
    </message>
    <message>
        <source>Files Received Path</source>
        <translation>Dossier de réception</translation>
    </message>
</context>
<context>
    <name>TfrmTransfer</name>
    <message>
        <source>File or Document may still be in use.<byte value="xd"/>
<byte value="xd"/>
{ or Host is not connected at this time }</source>
        <translation>Le fichier ou le document est peut-être encore utilisé.<byte value="xd"/>
<byte value="xd"/>
{ ou l’hôte n’est pas connecté pour le moment }</translation>
    </message>
    <message>
        <source>File Transfer Successful and Complete.</source>
        <translation>Transfert de fichiers réussi et terminé.</translation>
    </message>
    <message>
        <source>Transmission Interrupted or Disconnected</source>
        <translation>Transmission interrompue ou déconnectée</translation>
    </message>
    <message>
        <source>Cannot open %1: %2</source>
        <translation>Impossible d’ouvrir %1 : %2</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>Impossible d’écrire %1 : %2</translation>
    </message>
    <message>
        <source>Cannot read %1: %2</source>
        <translation>Impossible de lire %1 : %2</translation>
    </message>
    <message>
        <source>Cannot write %1: it could not be written whole</source>
        <translation>Impossible d’écrire %1 : il n’a pas pu être écrit en entier</translation>
    </message>
    <message>
        <source>File Transfer Portal</source>
        <translation>Portail de transfert de fichiers</translation>
    </message>
    <message>
        <source>Files Received</source>
        <translation>Fichiers reçus</translation>
    </message>
    <message>
        <source>Clear List</source>
        <translation>Vider la liste</translation>
    </message>
    <message>
        <source>Move</source>
        <translation>Déplacer</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Supprimer</translation>
    </message>
    <message>
        <source>Send Text Message</source>
        <translation>Envoyer un message texte</translation>
    </message>
    <message>
        <source>Ready...</source>
        <translation>Prêt...</translation>
    </message>
    <message>
        <source>Select Files To Transfer</source>
        <translation>Choisir les fichiers à transférer</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
    <message>
        <source>Transfer Progress</source>
        <translation>Progression du transfert</translation>
    </message>
    <message>
        <source>Please make a selection first.</source>
        <translation>Veuillez d’abord faire une sélection.</translation>
    </message>
    <message>
        <source>Delete Selected File(s)?</source>
        <translation>Supprimer le(s) fichier(s) sélectionné(s) ?</translation>
    </message>
    <message>
        <source>Cannot delete %1: %2</source>
        <translation>Impossible de supprimer %1 : %2</translation>
    </message>
    <message>
        <source>Move Selected File(s)?</source>
        <translation>Déplacer le(s) fichier(s) sélectionné(s) ?</translation>
    </message>
    <message>
        <source>Move File or Document to Selected Folder</source>
        <translation>Déplacer le fichier ou le document vers le dossier choisi</translation>
    </message>
    <message>
        <source>Cannot move %1: the file does not exist.</source>
        <translation>Impossible de déplacer %1 : le fichier n’existe pas.</translation>
    </message>
    <message>
        <source>File has been moved succesfully.</source>
        <translation>Le fichier a bien été déplacé.</translation>
    </message>
    <message>
        <source>File already exists. Overwrite File?</source>
        <translation>Le fichier existe déjà. L’écraser ?</translation>
    </message>
    <message>
        <source>Selected file move cancelled.</source>
        <translation>Déplacement du fichier sélectionné annulé.</translation>
    </message>
    <message>
        <source>File has been moved or deleted.</source>
        <translation>Le fichier a été déplacé ou supprimé.</translation>
    </message>
    <message>
        <source>No program could be started to open %1.</source>
        <translation>Aucun programme n’a pu être lancé pour ouvrir %1.</translation>
    </message>
    <message>
        <source>Incoming</source>
        <translation>Réception</translation>
    </message>
    <message>
        <source>Refused a file from %1: %2</source>
        <translation>Fichier de %1 refusé : %2</translation>
    </message>
    <message>
        <source>no receive folder</source>
        <translation>aucun dossier de réception</translation>
    </message>
    <message>
        <source>it was not encrypted, and only encrypted files are taken</source>
        <translation>il n’était pas chiffré, et seuls les fichiers chiffrés sont acceptés</translation>
    </message>
    <message>
        <source>Incoming from %1</source>
        <translation>Réception de %1</translation>
    </message>
    <message>
        <source> (encrypted)</source>
        <translation> (chiffré)</translation>
    </message>
    <message>
        <source>the receive folder &quot;%1&quot; does not exist</source>
        <translation>le dossier de réception « %1 » n’existe pas</translation>
    </message>
    <message>
        <source>Not encrypted: %1, from an address that used encryption before</source>
        <translation>Non chiffré : %1, d’une adresse qui utilisait le chiffrement auparavant</translation>
    </message>
    <message>
        <source>Key changed: %1</source>
        <translation>Clé modifiée : %1</translation>
    </message>
    <message>
        <source>A file from %1 was cut short: %2</source>
        <translation>Un fichier de %1 a été interrompu : %2</translation>
    </message>
    <message numerus="yes">
        <source>%n files from %1 were cut short</source>
        <translation>
            <numerusform>%n fichier de %1 a été interrompu</numerusform>
            <numerusform>%n fichiers de %1 ont été interrompus</numerusform>
        </translation>
    </message>
    <message>
        <source>%1&apos;s key has changed: reinstalled, or someone in between. Send anyway?</source>
        <translation>La clé de %1 a changé : réinstallation, ou quelqu’un s’est interposé. Envoyer quand même ?</translation>
    </message>
    <message>
        <source>Can&apos;t reach %1&apos;s Parlavue securely (%2). Send unencrypted?</source>
        <translation>Impossible de joindre Parlavue sur %1 de façon sécurisée (%2). Envoyer sans chiffrement ?</translation>
    </message>
    <message>
        <source>Key changed: %1 answered with another key than before</source>
        <translation>Clé modifiée : %1 a répondu avec une autre clé qu’auparavant</translation>
    </message>
    <message>
        <source>not encrypted</source>
        <translation>non chiffré</translation>
    </message>
    <message>
        <source>encrypted, key changed</source>
        <translation>chiffré, clé modifiée</translation>
    </message>
    <message>
        <source>encrypted</source>
        <translation>chiffré</translation>
    </message>
    <message>
        <source>&quot;%1&quot; from %2</source>
        <translation>« %1 » de %2</translation>
    </message>
    <message>
        <source>Please enter Host Name or IP Address First.</source>
        <translation>Veuillez d’abord saisir un nom d’hôte ou une adresse IP.</translation>
    </message>
    <message>
        <source>Select Files to Transfer</source>
        <translation>Choisir les fichiers à transférer</translation>
    </message>
    <message>
        <source>All Files (*.*)|*.*</source>
        <translation>Tous les fichiers (*.*)|*.*</translation>
    </message>
    <message>
        <source>%1 was opened for writing while it was sent.</source>
        <translation>%1 a été ouvert en écriture pendant son envoi.</translation>
    </message>
    <message>
        <source>Not Connected</source>
        <translation>Non connecté</translation>
    </message>
    <message>
        <source>Not sent: %1</source>
        <translation>Non envoyé : %1</translation>
    </message>
    <message>
        <source>Sending...</source>
        <translation>Envoi...</translation>
    </message>
    <message>
        <source>Sending... %1 KB</source>
        <translation>Envoi... %1 Ko</translation>
    </message>
    <message>
        <source>Completed...</source>
        <translation>Terminé...</translation>
    </message>
    <message>
        <source>Invalid Host!</source>
        <translation>Hôte non valide !</translation>
    </message>
    <message>
        <source>Specify a new host:</source>
        <translation>Indiquez un nouvel hôte :</translation>
    </message>
</context>
<context>
    <name>TfrmTxtMessage</name>
    <message>
        <source>Send Text Message</source>
        <translation>Envoyer un message texte</translation>
    </message>
    <message>
        <source>Text Message</source>
        <translation>Message texte</translation>
    </message>
    <message>
        <source>Paste From Clipboard</source>
        <translation>Coller depuis le presse-papiers</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Effacer</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Envoyer</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
    <message>
        <source>Please enter a valid IP Address or Host Name.</source>
        <translation>Veuillez saisir une adresse IP ou un nom d’hôte valide.</translation>
    </message>
    <message>
        <source>Cannot create %1: %2</source>
        <translation>Impossible de créer %1 : %2</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>Impossible d’écrire %1 : %2</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Halvorn Office - Parlavue Video Phone</source>
        <translation>Halvorn Office - Visiophone Parlavue</translation>
    </message>
</context>
</TS>
