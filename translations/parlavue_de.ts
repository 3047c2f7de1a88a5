<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>CallStatsText</name>
    <message>
        <source>camera</source>
        <translation>Kamera</translation>
    </message>
    <message>
        <source>screen</source>
        <translation>Bildschirm</translation>
    </message>
    <message>
        <source>passthrough</source>
        <translation>durchgereicht</translation>
    </message>
    <message>
        <source>Round trip:  %1 ms</source>
        <translation>Umlaufzeit:  %1 ms</translation>
    </message>
    <message>
        <source>Peer loss:   %1 %</source>
        <translation>Verlust dort: %1 %</translation>
    </message>
    <message>
        <source>Jitter:      %1 ms</source>
        <translation>Jitter:      %1 ms</translation>
    </message>
    <message>
        <source>Loss:        %1 %</source>
        <translation>Verlust hier: %1 %</translation>
    </message>
    <message>
        <source>Voice:       %1 sent, %2 received</source>
        <translation>Sprache:     %1 gesendet, %2 empfangen</translation>
    </message>
    <message>
        <source>Jitter buf:  %1 ms</source>
        <translation>Jitterpuffer: %1 ms</translation>
    </message>
    <message>
        <source>Mouth-ear:   ~%1 ms (est.)</source>
        <translation>Mund-Ohr:    ~%1 ms (geschätzt)</translation>
    </message>
    <message>
        <source>No call</source>
        <translation>Kein Anruf</translation>
    </message>
    <message>
        <source>Video:       %1 fps sent, %2 fps shown</source>
        <translation>Video:       %1 fps gesendet, %2 fps gezeigt</translation>
    </message>
    <message>
        <source>Video data:  %1 B/s out, %2 B/s in</source>
        <translation>Videodaten:  %1 B/s aus, %2 B/s ein</translation>
    </message>
    <message>
        <source>Quality:     %1 (JPEG)</source>
        <translation>Qualität:    %1 (JPEG)</translation>
    </message>
    <message>
        <source>Source:      %1</source>
        <translation>Quelle:      %1</translation>
    </message>
    <message>
        <source>camera&apos;s JPEG, as it came</source>
        <translation>JPEG der Kamera, unverändert</translation>
    </message>
    <message>
        <source>Encryption:  none</source>
        <translation>Verschlüsselung: keine</translation>
    </message>
    <message>
        <source>Encryption:  %1</source>
        <translation>Verschlüsselung: %1</translation>
    </message>
    <message>
        <source>             voice SRTP AES-128-GCM, video AES-128-GCM</source>
        <translation>             Sprache SRTP AES-128-GCM, Video AES-128-GCM</translation>
    </message>
    <message>
        <source>Peer key:    %1%2</source>
        <translation>Schlüssel dort: %1%2</translation>
    </message>
    <message>
        <source> KEY CHANGED</source>
        <translation> SCHLÜSSEL GEÄNDERT</translation>
    </message>
    <message>
        <source> verified</source>
        <translation> bestätigt</translation>
    </message>
    <message>
        <source> not verified</source>
        <translation> nicht bestätigt</translation>
    </message>
    <message>
        <source>Refused:     %1 auth failures, %2 replays</source>
        <translation>Abgewiesen:  %1 Echtheitsfehler, %2 Wiederholungen</translation>
    </message>
</context>
<context>
    <name>TApplication</name>
    <message>
        <source>Unknown error.</source>
        <translation>Unbekannter Fehler.</translation>
    </message>
</context>
<context>
    <name>TCallChannel</name>
    <message>
        <source>no answer in %1 s</source>
        <translation>keine Antwort in %1 s</translation>
    </message>
    <message>
        <source>a frame of a length no frame has</source>
        <translation>ein Rahmen mit unmöglicher Länge</translation>
    </message>
    <message>
        <source>closed during the handshake</source>
        <translation>während des Verbindungsaufbaus geschlossen</translation>
    </message>
    <message>
        <source>the callee sent no nonce</source>
        <translation>der Angerufene sandte keine Zufallszahl</translation>
    </message>
    <message>
        <source>the caller sent no commitment</source>
        <translation>der Anrufer sandte keine Festlegung</translation>
    </message>
    <message>
        <source>the caller revealed nothing</source>
        <translation>der Anrufer legte nichts offen</translation>
    </message>
    <message>
        <source>the numbers did not check out</source>
        <translation>die Zahlen stimmten nicht</translation>
    </message>
    <message>
        <source>no keys could be made for the call</source>
        <translation>für den Anruf konnten keine Schlüssel erzeugt werden</translation>
    </message>
</context>
<context>
    <name>TCallSession</name>
    <message>
        <source>Microphone lost: using the default</source>
        <translation>Mikrofon getrennt: das Standardgerät wird verwendet</translation>
    </message>
    <message>
        <source>Speaker lost: using the default</source>
        <translation>Lautsprecher getrennt: das Standardgerät wird verwendet</translation>
    </message>
    <message>
        <source>The microphone cannot be used: %1
The call goes on, but the other side does not hear you.</source>
        <translation>Das Mikrofon kann nicht verwendet werden: %1
Der Anruf läuft weiter, aber die Gegenseite hört Sie nicht.</translation>
    </message>
    <message>
        <source>The speaker cannot be used: %1
The call goes on, but you do not hear the other side.</source>
        <translation>Der Lautsprecher kann nicht verwendet werden: %1
Der Anruf läuft weiter, aber Sie hören die Gegenseite nicht.</translation>
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
        <translation>%1 ruft an...</translation>
    </message>
    <message>
        <source>%1 (%2) calling...</source>
        <translation>%1 (%2) ruft an...</translation>
    </message>
    <message>
        <source>Text message received</source>
        <translation>Textnachricht empfangen</translation>
    </message>
    <message>
        <source>File received</source>
        <translation>Datei empfangen</translation>
    </message>
    <message>
        <source>&quot;%1&quot; from %2</source>
        <translation>„%1“ von %2</translation>
    </message>
    <message>
        <source>Answer</source>
        <translation>Annehmen</translation>
    </message>
    <message>
        <source>Decline</source>
        <translation>Ablehnen</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>Anzeigen</translation>
    </message>
    <message numerus="yes">
        <source>%n files and messages received</source>
        <translation>
            <numerusform>%n Datei oder Nachricht empfangen</numerusform>
            <numerusform>%n Dateien und Nachrichten empfangen</numerusform>
        </translation>
    </message>
    <message>
        <source>Incoming call</source>
        <translation>Eingehender Anruf</translation>
    </message>
</context>
<context>
    <name>TExclusiveFile</name>
    <message>
        <source>%1 is already open.</source>
        <translation>%1 ist bereits geöffnet.</translation>
    </message>
    <message>
        <source>%1 does not exist.</source>
        <translation>%1 existiert nicht.</translation>
    </message>
    <message>
        <source>%1 is in use by another program.</source>
        <translation>%1 wird von einem anderen Programm verwendet.</translation>
    </message>
    <message>
        <source>Cannot open %1: %2.</source>
        <translation>%1 kann nicht geöffnet werden: %2.</translation>
    </message>
    <message>
        <source>%1 is a folder, not a file.</source>
        <translation>%1 ist ein Ordner, keine Datei.</translation>
    </message>
    <message>
        <source>%1 is not a regular file.</source>
        <translation>%1 ist keine normale Datei.</translation>
    </message>
    <message>
        <source>%1 is open for writing in another program.</source>
        <translation>%1 ist in einem anderen Programm zum Schreiben geöffnet.</translation>
    </message>
</context>
<context>
    <name>TFGraphConfig</name>
    <message>
        <source>ParlavueVP Video Device Settings</source>
        <translation>ParlavueVP – Einstellungen des Videogeräts</translation>
    </message>
    <message>
        <source> Capture Sources </source>
        <translation> Aufnahmequellen </translation>
    </message>
    <message>
        <source>Video</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>Video Pixel Format</source>
        <translation>Video-Pixelformat</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Übernehmen</translation>
    </message>
    <message>
        <source>Dialogs</source>
        <translation>Dialoge</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>TGstCamera</name>
    <message>
        <source>The camera is gone.</source>
        <translation>Die Kamera ist nicht mehr da.</translation>
    </message>
    <message>
        <source>No screen was chosen to be shared.</source>
        <translation>Es wurde kein Bildschirm zum Teilen gewählt.</translation>
    </message>
    <message>
        <source>The GStreamer element %1 is missing; install it and try again.</source>
        <translation>Das GStreamer-Element %1 fehlt; installieren Sie es und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>The camera cannot be opened in the chosen mode.</source>
        <translation>Die Kamera kann im gewählten Modus nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>The camera sent no picture within %1 seconds.</source>
        <translation>Die Kamera hat innerhalb von %1 Sekunden kein Bild gesendet.</translation>
    </message>
    <message>
        <source>The camera could not be started: %1</source>
        <translation>Die Kamera konnte nicht gestartet werden: %1</translation>
    </message>
    <message>
        <source>The camera was disconnected.</source>
        <translation>Die Kamera wurde getrennt.</translation>
    </message>
</context>
<context>
    <name>TGstElements</name>
    <message>
        <source>These GStreamer elements are missing:
%1

Install them with:
    sudo apt-get install %2</source>
        <translation>Diese GStreamer-Elemente fehlen:
%1

Installieren Sie sie mit:
    sudo apt-get install %2</translation>
    </message>
</context>
<context>
    <name>THostLookup</name>
    <message>
        <source>Socket Error # 11001
Host not found.</source>
        <translation>Socket-Fehler Nr. 11001
Host nicht gefunden.</translation>
    </message>
</context>
<context>
    <name>TIdentity</name>
    <message>
        <source>Calls, files and messages are not encrypted: %1</source>
        <translation>Anrufe, Dateien und Nachrichten werden nicht verschlüsselt: %1</translation>
    </message>
</context>
<context>
    <name>TIniFile</name>
    <message>
        <source>Unable to write to %1</source>
        <translation>%1 kann nicht geschrieben werden</translation>
    </message>
</context>
<context>
    <name>TKnownKeys</name>
    <message>
        <source>The file of your contacts&apos; keys could not be read; it was set aside as %1. Your contacts&apos; keys will be learnt again.</source>
        <translation>Die Datei mit den Schlüsseln Ihrer Kontakte konnte nicht gelesen werden; sie wurde als %1 beiseitegelegt. Die Schlüssel Ihrer Kontakte werden neu gelernt.</translation>
    </message>
</context>
<context>
    <name>TLineFile</name>
    <message>
        <source>Cannot open %1: %2</source>
        <translation>%1 kann nicht geöffnet werden: %2</translation>
    </message>
    <message>
        <source>Cannot read %1: %2</source>
        <translation>%1 kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>%1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>Cannot write %1: it could not be written whole</source>
        <translation>%1 kann nicht geschrieben werden: die Datei konnte nicht vollständig geschrieben werden</translation>
    </message>
</context>
<context>
    <name>TPhone</name>
    <message>
        <source>Waiting for the desktop: pick the screen or window to share</source>
        <translation>Warten auf den Desktop: wählen Sie den Bildschirm oder das Fenster zum Teilen</translation>
    </message>
    <message>
        <source>Calling...</source>
        <translation>Anruf läuft...</translation>
    </message>
    <message>
        <source>Could not bind socket. Address and port are already in use.</source>
        <translation>Socket konnte nicht gebunden werden. Adresse und Port werden bereits verwendet.</translation>
    </message>
    <message>
        <source>Can&apos;t init capture!</source>
        <translation>Aufnahme kann nicht gestartet werden!</translation>
    </message>
    <message>
        <source>Key changed: %1</source>
        <translation>Schlüssel geändert: %1</translation>
    </message>
    <message>
        <source>Encrypted call from %1</source>
        <translation>Verschlüsselter Anruf von %1</translation>
    </message>
    <message>
        <source>Encrypted call from %1 (new key)</source>
        <translation>Verschlüsselter Anruf von %1 (neuer Schlüssel)</translation>
    </message>
    <message>
        <source>Unencrypted call from %1: this address used encryption before</source>
        <translation>Unverschlüsselter Anruf von %1: diese Adresse hat früher verschlüsselt</translation>
    </message>
    <message>
        <source>Unencrypted call from %1</source>
        <translation>Unverschlüsselter Anruf von %1</translation>
    </message>
    <message>
        <source>Can&apos;t reach %1&apos;s Parlavue securely (%2). Call unencrypted?</source>
        <translation>Parlavue auf %1 ist nicht sicher erreichbar (%2). Unverschlüsselt anrufen?</translation>
    </message>
    <message>
        <source>%1&apos;s key has changed: reinstalled, or someone in between. Call anyway?</source>
        <translation>Der Schlüssel von %1 hat sich geändert: neu installiert oder jemand dazwischen. Trotzdem anrufen?</translation>
    </message>
    <message>
        <source>Voice/pictures from %1 cannot be decrypted</source>
        <translation>Sprache/Bilder von %1 können nicht entschlüsselt werden</translation>
    </message>
    <message>
        <source>Different numbers: the call was ended</source>
        <translation>Verschiedene Zahlen: der Anruf wurde beendet</translation>
    </message>
    <message>
        <source>Encrypted · verified</source>
        <translation>Verschlüsselt · bestätigt</translation>
    </message>
    <message>
        <source>not verified</source>
        <translation>nicht bestätigt</translation>
    </message>
    <message>
        <source>compare </source>
        <translation>vergleichen Sie </translation>
    </message>
    <message>
        <source>Encrypted · Key changed · </source>
        <translation>Verschlüsselt · Schlüssel geändert · </translation>
    </message>
    <message>
        <source>Encrypted · </source>
        <translation>Verschlüsselt · </translation>
    </message>
    <message>
        <source>Not encrypted: this address used encryption</source>
        <translation>Nicht verschlüsselt: diese Adresse hat verschlüsselt</translation>
    </message>
    <message>
        <source>Not encrypted</source>
        <translation>Nicht verschlüsselt</translation>
    </message>
</context>
<context>
    <name>TPropertyFrame</name>
    <message>
        <source>This device offers no settings here.</source>
        <translation>Dieses Gerät bietet hier keine Einstellungen.</translation>
    </message>
    <message>
        <source>Not in use while another setting rules it</source>
        <translation>Nicht wirksam, solange eine andere Einstellung gilt</translation>
    </message>
</context>
<context>
    <name>TScreenCastPortal</name>
    <message>
        <source>This desktop offers no screen sharing (no screen-cast portal).</source>
        <translation>Dieser Desktop bietet keine Bildschirmfreigabe (kein Screencast-Portal).</translation>
    </message>
    <message>
        <source>The desktop&apos;s screen-cast portal did not answer.</source>
        <translation>Das Screencast-Portal des Desktops hat nicht geantwortet.</translation>
    </message>
    <message>
        <source>The desktop refused to share the screen.</source>
        <translation>Der Desktop hat die Bildschirmfreigabe verweigert.</translation>
    </message>
    <message>
        <source>The desktop&apos;s screen-cast portal gave an answer that makes no sense.</source>
        <translation>Das Screencast-Portal des Desktops gab eine unsinnige Antwort.</translation>
    </message>
    <message>
        <source>The desktop&apos;s screen-cast portal failed (%1).</source>
        <translation>Das Screencast-Portal des Desktops ist fehlgeschlagen (%1).</translation>
    </message>
    <message>
        <source>The session bus cannot hand over the screen&apos;s stream.</source>
        <translation>Der Sitzungsbus kann den Bildschirmstrom nicht übergeben.</translation>
    </message>
    <message>
        <source>The screen was not shared: the choice was cancelled.</source>
        <translation>Der Bildschirm wurde nicht geteilt: die Auswahl wurde abgebrochen.</translation>
    </message>
    <message>
        <source>No screen was chosen within %1 seconds.</source>
        <translation>Innerhalb von %1 Sekunden wurde kein Bildschirm gewählt.</translation>
    </message>
</context>
<context>
    <name>TSecureSignalling</name>
    <message>
        <source>The call was not placed: %1 can&apos;t take an encrypted call, and only encrypted calls are made</source>
        <translation>Der Anruf wurde nicht getätigt: %1 kann keine verschlüsselten Anrufe annehmen, und es werden nur verschlüsselte Anrufe getätigt</translation>
    </message>
    <message>
        <source>The call was not placed: %1&apos;s key has changed</source>
        <translation>Der Anruf wurde nicht getätigt: der Schlüssel von %1 hat sich geändert</translation>
    </message>
    <message>
        <source>The secure connection failed (%1)</source>
        <translation>Die sichere Verbindung ist fehlgeschlagen (%1)</translation>
    </message>
</context>
<context>
    <name>TSoundDeviceChoice</name>
    <message>
        <source>%1 unplugged: using the default</source>
        <translation>%1 ausgesteckt: das Standardgerät wird verwendet</translation>
    </message>
    <message>
        <source>%1 plugged in: using it again</source>
        <translation>%1 eingesteckt: wird wieder verwendet</translation>
    </message>
    <message>
        <source>Microphone</source>
        <translation>Mikrofon</translation>
    </message>
    <message>
        <source>Speaker</source>
        <translation>Lautsprecher</translation>
    </message>
</context>
<context>
    <name>TStrmConnection</name>
    <message>
        <source>10060:Connection timed out</source>
        <translation>10060:Zeitüberschreitung der Verbindung</translation>
    </message>
    <message>
        <source>Socket capture aborted</source>
        <translation>Empfang über den Socket abgebrochen</translation>
    </message>
    <message>
        <source>not enough free space</source>
        <translation>nicht genug freier Speicherplatz</translation>
    </message>
    <message>
        <source>The received data cannot be stored: %1</source>
        <translation>Die empfangenen Daten können nicht gespeichert werden: %1</translation>
    </message>
    <message>
        <source>%1 of %2 bytes arrived</source>
        <translation>%1 von %2 Bytes angekommen</translation>
    </message>
    <message>
        <source>The body came slower than %1 bytes in %2 s.</source>
        <translation>Die Daten kamen langsamer als %1 Bytes in %2 s.</translation>
    </message>
</context>
<context>
    <name>TStrmSender</name>
    <message>
        <source>The receiver closed the connection without acknowledging the message.</source>
        <translation>Der Empfänger hat die Verbindung geschlossen, ohne den Empfang zu bestätigen.</translation>
    </message>
    <message>
        <source>Host Lookup Timed Out</source>
        <translation>Zeitüberschreitung bei der Host-Suche</translation>
    </message>
    <message>
        <source>Connection Timed out</source>
        <translation>Zeitüberschreitung der Verbindung</translation>
    </message>
    <message>
        <source>no answer in %1 s</source>
        <translation>keine Antwort in %1 s</translation>
    </message>
    <message>
        <source>10060:Connection timed out</source>
        <translation>10060:Zeitüberschreitung der Verbindung</translation>
    </message>
    <message>
        <source>Connection Canceled</source>
        <translation>Verbindung abgebrochen</translation>
    </message>
    <message>
        <source>Socket send aborted</source>
        <translation>Senden über den Socket abgebrochen</translation>
    </message>
    <message>
        <source>Files of 2 GB or more cannot be sent.</source>
        <translation>Dateien ab 2 GB können nicht gesendet werden.</translation>
    </message>
    <message>
        <source>The name is longer than 9999 bytes and cannot be sent.</source>
        <translation>Der Name ist länger als 9999 Bytes und kann nicht gesendet werden.</translation>
    </message>
    <message>
        <source>Null Remote Address</source>
        <translation>Keine Gegenadresse</translation>
    </message>
    <message>
        <source>%1 can&apos;t receive encrypted files, and only encrypted ones are sent</source>
        <translation>%1 kann keine verschlüsselten Dateien empfangen, und es werden nur verschlüsselte gesendet</translation>
    </message>
    <message>
        <source>Connection Failed</source>
        <translation>Verbindung fehlgeschlagen</translation>
    </message>
    <message>
        <source>The receiver&apos;s key has changed; nothing was sent.</source>
        <translation>Der Schlüssel des Empfängers hat sich geändert; nichts wurde gesendet.</translation>
    </message>
    <message>
        <source>The secure connection failed (%1)</source>
        <translation>Die sichere Verbindung ist fehlgeschlagen (%1)</translation>
    </message>
    <message>
        <source>The stream cannot be read: %1</source>
        <translation>Der Datenstrom kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>it ended before its size</source>
        <translation>er endete vor seiner angegebenen Größe</translation>
    </message>
    <message>
        <source>10054:Connection reset by peer</source>
        <translation>10054:Verbindung von der Gegenseite zurückgesetzt</translation>
    </message>
</context>
<context>
    <name>TV4l2TunerPage</name>
    <message>
        <source>Video standard</source>
        <translation>Videonorm</translation>
    </message>
    <message>
        <source>Frequency (MHz)</source>
        <translation>Frequenz (MHz)</translation>
    </message>
    <message>
        <source>TV Tuner</source>
        <translation>TV-Tuner</translation>
    </message>
</context>
<context>
    <name>TVOIPMedia</name>
    <message>
        <source>There is no voice link to carry the call.</source>
        <translation>Es gibt keine Sprachverbindung für den Anruf.</translation>
    </message>
</context>
<context>
    <name>TVideoCapture</name>
    <message>
        <source>Camera</source>
        <translation>Kamera</translation>
    </message>
    <message>
        <source> - Capture</source>
        <translation> - Aufnahme</translation>
    </message>
    <message>
        <source>Can&apos;t create video capture filter - propably you havn&apos;t video capture device!</source>
        <translation>Videoaufnahmefilter kann nicht erstellt werden – wahrscheinlich ist kein Videoaufnahmegerät vorhanden!</translation>
    </message>
    <message>
        <source>Cannot run preview graph!</source>
        <translation>Vorschau kann nicht gestartet werden!</translation>
    </message>
    <message>
        <source>Video Format</source>
        <translation>Videoformat</translation>
    </message>
    <message>
        <source>Video Source</source>
        <translation>Videoquelle</translation>
    </message>
    <message>
        <source>Video Display</source>
        <translation>Videoanzeige</translation>
    </message>
    <message>
        <source>Video Capture Filter</source>
        <translation>Videoaufnahmefilter</translation>
    </message>
    <message>
        <source>Video Crossbar</source>
        <translation>Video-Kreuzschiene</translation>
    </message>
    <message>
        <source>TV Tuner</source>
        <translation>TV-Tuner</translation>
    </message>
    <message>
        <source>Audio Capture Filter</source>
        <translation>Audioaufnahmefilter</translation>
    </message>
    <message>
        <source>Audio Crossbar</source>
        <translation>Audio-Kreuzschiene</translation>
    </message>
    <message>
        <source>TV Audio</source>
        <translation>TV-Ton</translation>
    </message>
    <message>
        <source>Video Capture Pin</source>
        <translation>Videoaufnahme-Anschluss</translation>
    </message>
    <message>
        <source>Video Preview Pin</source>
        <translation>Videovorschau-Anschluss</translation>
    </message>
    <message>
        <source>Audio Capture Pin</source>
        <translation>Audioaufnahme-Anschluss</translation>
    </message>
    <message>
        <source>Video Compressor</source>
        <translation>Videokompressor</translation>
    </message>
    <message>
        <source>Audio Compressor</source>
        <translation>Audiokompressor</translation>
    </message>
</context>
<context>
    <name>TVideoLink</name>
    <message>
        <source>The screen does not fit a datagram.</source>
        <translation>Der Bildschirm passt in kein Datagramm.</translation>
    </message>
    <message>
        <source>The frame could not be compressed.</source>
        <translation>Das Bild konnte nicht komprimiert werden.</translation>
    </message>
    <message>
        <source>The frame is larger than the send buffer.</source>
        <translation>Das Bild ist größer als der Sendepuffer.</translation>
    </message>
    <message>
        <source>The picture could not be sealed.</source>
        <translation>Das Bild konnte nicht versiegelt werden.</translation>
    </message>
</context>
<context>
    <name>TfrmCalling</name>
    <message>
        <source>Calling Status</source>
        <translation>Anrufstatus</translation>
    </message>
    <message>
        <source>Calling...</source>
        <translation>Anruf läuft...</translation>
    </message>
    <message>
        <source>Cancel Call</source>
        <translation>Anruf abbrechen</translation>
    </message>
</context>
<context>
    <name>TfrmExport</name>
    <message>
        <source>Searching For Network Clients...</source>
        <translation>Suche nach Computern im Netzwerk...</translation>
    </message>
    <message>
        <source>Searching...</source>
        <translation>Suche läuft...</translation>
    </message>
</context>
<context>
    <name>TfrmIP</name>
    <message>
        <source>File [IPAddress.dat] not Found.</source>
        <translation>Datei [IPAddress.dat] nicht gefunden.</translation>
    </message>
    <message>
        <source>Please enter Contact Name and IP Address.</source>
        <translation>Bitte geben Sie Kontaktname und IP-Adresse ein.</translation>
    </message>
    <message>
        <source>Delete selected contact?</source>
        <translation>Ausgewählten Kontakt löschen?</translation>
    </message>
    <message>
        <source>Wrong Address Format.</source>
        <translation>Falsches Adressformat.</translation>
    </message>
    <message>
        <source>IP Address Book</source>
        <translation>IP-Adressbuch</translation>
    </message>
    <message>
        <source>Contact Name</source>
        <translation>Kontaktname</translation>
    </message>
    <message>
        <source>Host Name / IP Address</source>
        <translation>Hostname / IP-Adresse</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Clear List</source>
        <translation>Liste leeren</translation>
    </message>
    <message>
        <source>Key...</source>
        <translation>Schlüssel...</translation>
    </message>
    <message>
        <source>Contact Key</source>
        <translation>Schlüssel des Kontakts</translation>
    </message>
    <message>
        <source>Double Click to use IP Address</source>
        <translation>Doppelklicken, um die IP-Adresse zu verwenden</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Who&apos;s Online?</source>
        <translation>Wer ist online?</translation>
    </message>
    <message>
        <source>Call Selected Contact</source>
        <translation>Ausgewählten Kontakt anrufen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Kontakte</translation>
    </message>
    <message>
        <source>Select a contact to give it a key.</source>
        <translation>Wählen Sie einen Kontakt, um ihm einen Schlüssel zu geben.</translation>
    </message>
    <message>
        <source>A key can be given to a contact with an IP address only.</source>
        <translation>Nur einem Kontakt mit IP-Adresse kann ein Schlüssel gegeben werden.</translation>
    </message>
    <message>
        <source>The key of %1, as its settings window shows it under &quot;Your key&quot; (Copy):</source>
        <translation>Der Schlüssel von %1, wie ihn dessen Einstellungsfenster unter „Ihr Schlüssel“ zeigt (Kopieren):</translation>
    </message>
    <message>
        <source>That is not a key: a key is 52 letters and digits, as the other computer&apos;s settings window shows it under &quot;Your key&quot;.</source>
        <translation>Das ist kein Schlüssel: ein Schlüssel besteht aus 52 Buchstaben und Ziffern, wie ihn das Einstellungsfenster des anderen Computers unter „Ihr Schlüssel“ zeigt.</translation>
    </message>
    <message>
        <source>No key known: calls and files go unencrypted unless it announces one</source>
        <translation>Kein Schlüssel bekannt: Anrufe und Dateien gehen unverschlüsselt, solange er keinen ankündigt</translation>
    </message>
    <message>
        <source>verified</source>
        <translation>bestätigt</translation>
    </message>
    <message>
        <source>refused</source>
        <translation>abgelehnt</translation>
    </message>
    <message>
        <source>seen</source>
        <translation>gesehen</translation>
    </message>
    <message>
        <source>Encrypted: key %1, %2</source>
        <translation>Verschlüsselt: Schlüssel %1, %2</translation>
    </message>
    <message>
        <source>Cannot create file %1</source>
        <translation>Datei %1 kann nicht erstellt werden</translation>
    </message>
</context>
<context>
    <name>TfrmMain</name>
    <message>
        <source>Enter Host Name To Call</source>
        <translation>Anzurufenden Host eingeben</translation>
    </message>
    <message>
        <source>Halvorn Software - Parlavue Video Phone</source>
        <translation>Halvorn Software - Parlavue Videotelefon</translation>
    </message>
    <message>
        <source>Microphone Level %1</source>
        <translation>Mikrofonpegel %1</translation>
    </message>
    <message>
        <source>Volume Level %1 %</source>
        <translation>Lautstärke %1 %</translation>
    </message>
    <message>
        <source>Please enter a valid IP Address or Host Name First.</source>
        <translation>Bitte geben Sie zuerst eine gültige IP-Adresse oder einen Hostnamen ein.</translation>
    </message>
    <message>
        <source> calling...</source>
        <translation> ruft an...</translation>
    </message>
    <message>
        <source>Call Security</source>
        <translation>Anrufsicherheit</translation>
    </message>
    <message>
        <source>Same numbers</source>
        <translation>Gleiche Zahlen</translation>
    </message>
    <message>
        <source>Different numbers</source>
        <translation>Andere Zahlen</translation>
    </message>
    <message>
        <source>Toggle Sidebar</source>
        <translation>Seitenleiste ein/aus</translation>
    </message>
    <message>
        <source>Show Sidebar</source>
        <translation>Seitenleiste anzeigen</translation>
    </message>
    <message>
        <source>Toggle Preview</source>
        <translation>Vorschau ein/aus</translation>
    </message>
    <message>
        <source>Show Preview Picture</source>
        <translation>Vorschaubild anzeigen</translation>
    </message>
    <message>
        <source>Minimize Window</source>
        <translation>Fenster minimieren</translation>
    </message>
    <message>
        <source>Close Window</source>
        <translation>Fenster schließen</translation>
    </message>
    <message>
        <source>Close Window, Title Bar</source>
        <translation>Fenster schließen, Titelleiste</translation>
    </message>
    <message>
        <source>Your IP Address</source>
        <translation>Ihre IP-Adresse</translation>
    </message>
    <message>
        <source>Make / Answer Call</source>
        <translation>Anrufen / Annehmen</translation>
    </message>
    <message>
        <source>Make or Answer Call</source>
        <translation>Anrufen oder annehmen</translation>
    </message>
    <message>
        <source>End / Decline Call</source>
        <translation>Beenden / Ablehnen</translation>
    </message>
    <message>
        <source>End or Decline Call</source>
        <translation>Anruf beenden oder ablehnen</translation>
    </message>
    <message>
        <source>Call Settings...</source>
        <translation>Anrufeinstellungen...</translation>
    </message>
    <message>
        <source>Call Settings</source>
        <translation>Anrufeinstellungen</translation>
    </message>
    <message>
        <source>Telephone Book...</source>
        <translation>Telefonbuch...</translation>
    </message>
    <message>
        <source>Telephone Book</source>
        <translation>Telefonbuch</translation>
    </message>
    <message>
        <source>Take Snapshot</source>
        <translation>Schnappschuss machen</translation>
    </message>
    <message>
        <source>Maximize / Restore</source>
        <translation>Maximieren / Wiederherstellen</translation>
    </message>
    <message>
        <source>Maximize or Restore</source>
        <translation>Maximieren oder wiederherstellen</translation>
    </message>
    <message>
        <source>Mute Microphone</source>
        <translation>Mikrofon stummschalten</translation>
    </message>
    <message>
        <source>Close Parlavue</source>
        <translation>Parlavue beenden</translation>
    </message>
    <message>
        <source>Microphone Level</source>
        <translation>Mikrofonpegel</translation>
    </message>
    <message>
        <source>Volume Level</source>
        <translation>Lautstärke</translation>
    </message>
    <message>
        <source>Microphone Level minimum 0</source>
        <translation>Mikrofonpegel Minimum 0</translation>
    </message>
    <message>
        <source>Volume Level minimum 0</source>
        <translation>Lautstärke Minimum 0</translation>
    </message>
    <message>
        <source>Speaker</source>
        <translation>Lautsprecher</translation>
    </message>
    <message>
        <source>Stop/Start Preview</source>
        <translation>Vorschau stoppen/starten</translation>
    </message>
    <message>
        <source>Camera Preview</source>
        <translation>Kameravorschau</translation>
    </message>
    <message>
        <source>Transfer File(s)...</source>
        <translation>Datei(en) senden...</translation>
    </message>
    <message>
        <source>Transfer Files</source>
        <translation>Dateien senden</translation>
    </message>
    <message>
        <source>Video Settings...</source>
        <translation>Videoeinstellungen...</translation>
    </message>
    <message>
        <source>Video Settings</source>
        <translation>Videoeinstellungen</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Video Frame too large. Lower resolution on video camera.</source>
        <translation>Videobild zu groß. Verringern Sie die Auflösung der Kamera.</translation>
    </message>
    <message>
        <source>Calls the host in the field, or answers a call that rings</source>
        <translation>Ruft den Host im Feld an oder nimmt einen klingelnden Anruf an</translation>
    </message>
    <message>
        <source>Ends the call, or declines one that rings</source>
        <translation>Beendet den Anruf oder lehnt einen klingelnden ab</translation>
    </message>
    <message>
        <source>Your caller ID, ring tone, ring time and folder for received files</source>
        <translation>Ihre Anrufer-ID, Klingelton, Klingeldauer und Ordner für empfangene Dateien</translation>
    </message>
    <message>
        <source>Your contacts, and who is online</source>
        <translation>Ihre Kontakte und wer online ist</translation>
    </message>
    <message>
        <source>Copies the picture to the clipboard</source>
        <translation>Kopiert das Bild in die Zwischenablage</translation>
    </message>
    <message>
        <source>Fills the screen, or gives it back</source>
        <translation>Füllt den Bildschirm oder gibt ihn wieder frei</translation>
    </message>
    <message>
        <source>Mutes and unmutes you during a call</source>
        <translation>Schaltet Sie während eines Anrufs stumm und wieder laut</translation>
    </message>
    <message>
        <source>Ends the program</source>
        <translation>Beendet das Programm</translation>
    </message>
    <message>
        <source>Stops or starts your camera&apos;s picture</source>
        <translation>Hält das Bild Ihrer Kamera an oder startet es</translation>
    </message>
    <message>
        <source>Sends files and messages to the host in the field</source>
        <translation>Sendet Dateien und Nachrichten an den Host im Feld</translation>
    </message>
    <message>
        <source>Chooses the camera</source>
        <translation>Wählt die Kamera</translation>
    </message>
    <message>
        <source>Shows or hides your own picture</source>
        <translation>Zeigt oder verbirgt Ihr eigenes Bild</translation>
    </message>
    <message>
        <source>Minimizes the window</source>
        <translation>Minimiert das Fenster</translation>
    </message>
    <message>
        <source>Closes the window and ends the program</source>
        <translation>Schließt das Fenster und beendet das Programm</translation>
    </message>
    <message>
        <source>Shows or hides the buttons beside the picture</source>
        <translation>Zeigt oder verbirgt die Schaltflächen neben dem Bild</translation>
    </message>
</context>
<context>
    <name>TfrmNetworkClients</name>
    <message>
        <source>Online Network Clients</source>
        <translation>Computer im Netzwerk</translation>
    </message>
    <message>
        <source>Network clients that are currently online:</source>
        <translation>Computer, die gerade online sind:</translation>
    </message>
    <message>
        <source>Refresh List</source>
        <translation>Liste aktualisieren</translation>
    </message>
    <message>
        <source>Add Host Names To List</source>
        <translation>Hostnamen zur Liste hinzufügen</translation>
    </message>
    <message>
        <source>Network Provider: </source>
        <translation>Netzwerkanbieter: </translation>
    </message>
    <message>
        <source>Computer Name: </source>
        <translation>Computername: </translation>
    </message>
    <message>
        <source>Host Name and Connection Path: \\</source>
        <translation>Hostname und Verbindungspfad: \\</translation>
    </message>
    <message>
        <source>; it announces no encryption key</source>
        <translation>; er kündigt keinen Schlüssel an</translation>
    </message>
    <message>
        <source>; it announces the encryption key %1 ...</source>
        <translation>; er kündigt den Schlüssel %1 ... an</translation>
    </message>
    <message>
        <source>Runs Parlavue: this computer can answer a call</source>
        <translation>Parlavue läuft: dieser Computer kann einen Anruf annehmen</translation>
    </message>
</context>
<context>
    <name>TfrmSettings</name>
    <message>
        <source>Supported Media Files|*.mp3;*.wav;*.wma|MP3 (*.mp3)|*.mp3|Wave (*.wav)|*.wav|Windows Media Audio (*.wma)|*.wma</source>
        <translation>Unterstützte Mediendateien|*.mp3;*.wav;*.wma|MP3 (*.mp3)|*.mp3|Wave (*.wav)|*.wav|Windows Media Audio (*.wma)|*.wma</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Ring Tone</source>
        <translation>Klingelton</translation>
    </message>
    <message>
        <source>Ring Time (sec)</source>
        <translation>Klingeldauer (s)</translation>
    </message>
    <message>
        <source>Automatically answer incoming calls.</source>
        <translation>Eingehende Anrufe automatisch annehmen.</translation>
    </message>
    <message>
        <source>Echo cancellation</source>
        <translation>Echounterdrückung</translation>
    </message>
    <message>
        <source>Noise suppression</source>
        <translation>Rauschunterdrückung</translation>
    </message>
    <message>
        <source>Unanswered Message</source>
        <translation>Abwesenheitsnachricht</translation>
    </message>
    <message>
        <source>Caller ID</source>
        <translation>Anrufer-ID</translation>
    </message>
    <message>
        <source>Files Receive Path</source>
        <translation>Empfangsordner</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Video Options</source>
        <translation>Videooptionen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Microphone</source>
        <translation>Mikrofon</translation>
    </message>
    <message>
        <source>Speaker</source>
        <translation>Lautsprecher</translation>
    </message>
    <message>
        <source>Your key</source>
        <translation>Ihr Schlüssel</translation>
    </message>
    <message>
        <source>Not available</source>
        <translation>Nicht verfügbar</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Copy Your Key</source>
        <translation>Ihren Schlüssel kopieren</translation>
    </message>
    <message>
        <source>Show this computer on the network</source>
        <translation>Diesen Computer im Netzwerk zeigen</translation>
    </message>
    <message>
        <source>Encryption</source>
        <translation>Verschlüsselung</translation>
    </message>
    <message>
        <source>Prefer encrypted</source>
        <translation>Verschlüsselt bevorzugen</translation>
    </message>
    <message>
        <source>Encrypted only</source>
        <translation>Nur verschlüsselt</translation>
    </message>
    <message>
        <source>Choose Ring Tone</source>
        <translation>Klingelton wählen</translation>
    </message>
    <message>
        <source>Choose Files Receive Path</source>
        <translation>Empfangsordner wählen</translation>
    </message>
    <message>
        <source>System default</source>
        <translation>Systemstandard</translation>
    </message>
    <message>
        <source>%1 (not plugged in)</source>
        <translation>%1 (nicht eingesteckt)</translation>
    </message>
    <message>
        <source>Files Received Path</source>
        <translation>Empfangsordner</translation>
    </message>
</context>
<context>
    <name>TfrmTransfer</name>
    <message>
        <source>File or Document may still be in use.<byte value="xd"/>
<byte value="xd"/>
{ or Host is not connected at this time }</source>
        <translation>Datei oder Dokument wird möglicherweise noch verwendet.<byte value="xd"/>
<byte value="xd"/>
{ oder der Host ist derzeit nicht verbunden }</translation>
    </message>
    <message>
        <source>File Transfer Successful and Complete.</source>
        <translation>Dateiübertragung erfolgreich abgeschlossen.</translation>
    </message>
    <message>
        <source>Transmission Interrupted or Disconnected</source>
        <translation>Übertragung unterbrochen oder getrennt</translation>
    </message>
    <message>
        <source>Cannot open %1: %2</source>
        <translation>%1 kann nicht geöffnet werden: %2</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>%1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>Cannot read %1: %2</source>
        <translation>%1 kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>Cannot write %1: it could not be written whole</source>
        <translation>%1 kann nicht geschrieben werden: die Datei konnte nicht vollständig geschrieben werden</translation>
    </message>
    <message>
        <source>File Transfer Portal</source>
        <translation>Dateiübertragung</translation>
    </message>
    <message>
        <source>Files Received</source>
        <translation>Empfangene Dateien</translation>
    </message>
    <message>
        <source>Clear List</source>
        <translation>Liste leeren</translation>
    </message>
    <message>
        <source>Move</source>
        <translation>Verschieben</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Send Text Message</source>
        <translation>Textnachricht senden</translation>
    </message>
    <message>
        <source>Ready...</source>
        <translation>Bereit...</translation>
    </message>
    <message>
        <source>Select Files To Transfer</source>
        <translation>Dateien zum Senden wählen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Transfer Progress</source>
        <translation>Fortschritt der Übertragung</translation>
    </message>
    <message>
        <source>Please make a selection first.</source>
        <translation>Bitte treffen Sie zuerst eine Auswahl.</translation>
    </message>
    <message>
        <source>Delete Selected File(s)?</source>
        <translation>Ausgewählte Datei(en) löschen?</translation>
    </message>
    <message>
        <source>Cannot delete %1: %2</source>
        <translation>%1 kann nicht gelöscht werden: %2</translation>
    </message>
    <message>
        <source>Move Selected File(s)?</source>
        <translation>Ausgewählte Datei(en) verschieben?</translation>
    </message>
    <message>
        <source>Move File or Document to Selected Folder</source>
        <translation>Datei oder Dokument in den gewählten Ordner verschieben</translation>
    </message>
    <message>
        <source>Cannot move %1: the file does not exist.</source>
        <translation>%1 kann nicht verschoben werden: die Datei existiert nicht.</translation>
    </message>
    <message>
        <source>File has been moved succesfully.</source>
        <translation>Die Datei wurde erfolgreich verschoben.</translation>
    </message>
    <message>
        <source>File already exists. Overwrite File?</source>
        <translation>Die Datei existiert bereits. Überschreiben?</translation>
    </message>
    <message>
        <source>Selected file move cancelled.</source>
        <translation>Verschieben der gewählten Datei abgebrochen.</translation>
    </message>
    <message>
        <source>File has been moved or deleted.</source>
        <translation>Die Datei wurde verschoben oder gelöscht.</translation>
    </message>
    <message>
        <source>No program could be started to open %1.</source>
        <translation>Es konnte kein Programm zum Öffnen von %1 gestartet werden.</translation>
    </message>
    <message>
        <source>Incoming</source>
        <translation>Eingehend</translation>
    </message>
    <message>
        <source>Refused a file from %1: %2</source>
        <translation>Datei von %1 abgelehnt: %2</translation>
    </message>
    <message>
        <source>no receive folder</source>
        <translation>kein Empfangsordner</translation>
    </message>
    <message>
        <source>it was not encrypted, and only encrypted files are taken</source>
        <translation>sie war nicht verschlüsselt, und nur verschlüsselte Dateien werden angenommen</translation>
    </message>
    <message>
        <source>Incoming from %1</source>
        <translation>Eingehend von %1</translation>
    </message>
    <message>
        <source> (encrypted)</source>
        <translation> (verschlüsselt)</translation>
    </message>
    <message>
        <source>the receive folder &quot;%1&quot; does not exist</source>
        <translation>der Empfangsordner „%1“ existiert nicht</translation>
    </message>
    <message>
        <source>Not encrypted: %1, from an address that used encryption before</source>
        <translation>Nicht verschlüsselt: %1, von einer Adresse, die früher verschlüsselt hat</translation>
    </message>
    <message>
        <source>Key changed: %1</source>
        <translation>Schlüssel geändert: %1</translation>
    </message>
    <message>
        <source>A file from %1 was cut short: %2</source>
        <translation>Eine Datei von %1 kam unvollständig an: %2</translation>
    </message>
    <message numerus="yes">
        <source>%n files from %1 were cut short</source>
        <translation>
            <numerusform>%n Datei von %1 kam unvollständig an</numerusform>
            <numerusform>%n Dateien von %1 kamen unvollständig an</numerusform>
        </translation>
    </message>
    <message>
        <source>%1&apos;s key has changed: reinstalled, or someone in between. Send anyway?</source>
        <translation>Der Schlüssel von %1 hat sich geändert: neu installiert oder jemand dazwischen. Trotzdem senden?</translation>
    </message>
    <message>
        <source>Can&apos;t reach %1&apos;s Parlavue securely (%2). Send unencrypted?</source>
        <translation>Parlavue auf %1 ist nicht sicher erreichbar (%2). Unverschlüsselt senden?</translation>
    </message>
    <message>
        <source>Key changed: %1 answered with another key than before</source>
        <translation>Schlüssel geändert: %1 hat mit einem anderen Schlüssel als zuvor geantwortet</translation>
    </message>
    <message>
        <source>not encrypted</source>
        <translation>nicht verschlüsselt</translation>
    </message>
    <message>
        <source>encrypted, key changed</source>
        <translation>verschlüsselt, Schlüssel geändert</translation>
    </message>
    <message>
        <source>encrypted</source>
        <translation>verschlüsselt</translation>
    </message>
    <message>
        <source>&quot;%1&quot; from %2</source>
        <translation>„%1“ von %2</translation>
    </message>
    <message>
        <source>Please enter Host Name or IP Address First.</source>
        <translation>Bitte geben Sie zuerst einen Hostnamen oder eine IP-Adresse ein.</translation>
    </message>
    <message>
        <source>Select Files to Transfer</source>
        <translation>Dateien zum Senden wählen</translation>
    </message>
    <message>
        <source>All Files (*.*)|*.*</source>
        <translation>Alle Dateien (*.*)|*.*</translation>
    </message>
    <message>
        <source>%1 was opened for writing while it was sent.</source>
        <translation>%1 wurde während des Sendens zum Schreiben geöffnet.</translation>
    </message>
    <message>
        <source>Not Connected</source>
        <translation>Nicht verbunden</translation>
    </message>
    <message>
        <source>Not sent: %1</source>
        <translation>Nicht gesendet: %1</translation>
    </message>
    <message>
        <source>Sending...</source>
        <translation>Wird gesendet...</translation>
    </message>
    <message>
        <source>Sending... %1 KB</source>
        <translation>Wird gesendet... %1 KB</translation>
    </message>
    <message>
        <source>Completed...</source>
        <translation>Abgeschlossen...</translation>
    </message>
    <message>
        <source>Invalid Host!</source>
        <translation>Ungültiger Host!</translation>
    </message>
    <message>
        <source>Specify a new host:</source>
        <translation>Geben Sie einen neuen Host an:</translation>
    </message>
</context>
<context>
    <name>TfrmTxtMessage</name>
    <message>
        <source>Send Text Message</source>
        <translation>Textnachricht senden</translation>
    </message>
    <message>
        <source>Text Message</source>
        <translation>Textnachricht</translation>
    </message>
    <message>
        <source>Paste From Clipboard</source>
        <translation>Aus Zwischenablage einfügen</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Please enter a valid IP Address or Host Name.</source>
        <translation>Bitte geben Sie eine gültige IP-Adresse oder einen Hostnamen ein.</translation>
    </message>
    <message>
        <source>Cannot create %1: %2</source>
        <translation>%1 kann nicht erstellt werden: %2</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>%1 kann nicht geschrieben werden: %2</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Halvorn Office - Parlavue Video Phone</source>
        <translation>Halvorn Office - Parlavue Videotelefon</translation>
    </message>
</context>
</TS>
