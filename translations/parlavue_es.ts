<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es" sourcelanguage="en">
<context>
    <name>CallStatsText</name>
    <message>
        <source>camera</source>
        <translation>cámara</translation>
    </message>
    <message>
        <source>screen</source>
        <translation>pantalla</translation>
    </message>
    <message>
        <source>passthrough</source>
        <translation>sin recodificar</translation>
    </message>
    <message>
        <source>Round trip:  %1 ms</source>
        <translation>Ida y vuelta: %1 ms</translation>
    </message>
    <message>
        <source>Peer loss:   %1 %</source>
        <translation>Pérdida remota: %1 %</translation>
    </message>
    <message>
        <source>Jitter:      %1 ms</source>
        <translation>Fluctuación: %1 ms</translation>
    </message>
    <message>
        <source>Loss:        %1 %</source>
        <translation>Pérdida local:  %1 %</translation>
    </message>
    <message>
        <source>Voice:       %1 sent, %2 received</source>
        <translation>Voz:         %1 enviados, %2 recibidos</translation>
    </message>
    <message>
        <source>Jitter buf:  %1 ms</source>
        <translation>Búfer de fluctuación: %1 ms</translation>
    </message>
    <message>
        <source>Mouth-ear:   ~%1 ms (est.)</source>
        <translation>Boca-oído:   ~%1 ms (estimado)</translation>
    </message>
    <message>
        <source>No call</source>
        <translation>Sin llamada</translation>
    </message>
    <message>
        <source>Video:       %1 fps sent, %2 fps shown</source>
        <translation>Vídeo:       %1 fps enviados, %2 fps mostrados</translation>
    </message>
    <message>
        <source>Video data:  %1 B/s out, %2 B/s in</source>
        <translation>Datos de vídeo: %1 B/s salida, %2 B/s entrada</translation>
    </message>
    <message>
        <source>Quality:     %1 (JPEG)</source>
        <translation>Calidad:     %1 (JPEG)</translation>
    </message>
    <message>
        <source>Source:      %1</source>
        <translation>Origen:      %1</translation>
    </message>
    <message>
        <source>camera&apos;s JPEG, as it came</source>
        <translation>JPEG de la cámara, tal cual</translation>
    </message>
    <message>
        <source>Encryption:  none</source>
        <translation>Cifrado:     ninguno</translation>
    </message>
    <message>
        <source>Encryption:  %1</source>
        <translation>Cifrado:     %1</translation>
    </message>
    <message>
        <source>             voice SRTP AES-128-GCM, video AES-128-GCM</source>
        <translation>             voz SRTP AES-128-GCM, vídeo AES-128-GCM</translation>
    </message>
    <message>
        <source>Peer key:    %1%2</source>
        <translation>Clave remota: %1%2</translation>
    </message>
    <message>
        <source> KEY CHANGED</source>
        <translation> CLAVE CAMBIADA</translation>
    </message>
    <message>
        <source> verified</source>
        <translation> verificada</translation>
    </message>
    <message>
        <source> not verified</source>
        <translation> no verificada</translation>
    </message>
    <message>
        <source>Refused:     %1 auth failures, %2 replays</source>
        <translation>Rechazados:  %1 fallos de autenticación, %2 repeticiones</translation>
    </message>
</context>
<context>
    <name>TApplication</name>
    <message>
        <source>Unknown error.</source>
        <translation>Error desconocido.</translation>
    </message>
</context>
<context>
    <name>TCallChannel</name>
    <message>
        <source>no answer in %1 s</source>
        <translation>sin respuesta en %1 s</translation>
    </message>
    <message>
        <source>a frame of a length no frame has</source>
        <translation>una trama de longitud imposible</translation>
    </message>
    <message>
        <source>closed during the handshake</source>
        <translation>cerrada durante la negociación</translation>
    </message>
    <message>
        <source>the callee sent no nonce</source>
        <translation>el destinatario no envió ningún nonce</translation>
    </message>
    <message>
        <source>the caller sent no commitment</source>
        <translation>el llamante no envió ningún compromiso</translation>
    </message>
    <message>
        <source>the caller revealed nothing</source>
        <translation>el llamante no reveló nada</translation>
    </message>
    <message>
        <source>the numbers did not check out</source>
        <translation>los números no cuadraban</translation>
    </message>
    <message>
        <source>no keys could be made for the call</source>
        <translation>no se pudieron crear claves para la llamada</translation>
    </message>
</context>
<context>
    <name>TCallSession</name>
    <message>
        <source>Microphone lost: using the default</source>
        <translation>Micrófono perdido: se usa el predeterminado</translation>
    </message>
    <message>
        <source>Speaker lost: using the default</source>
        <translation>Altavoz perdido: se usa el predeterminado</translation>
    </message>
    <message>
        <source>The microphone cannot be used: %1
The call goes on, but the other side does not hear you.</source>
        <translation>No se puede usar el micrófono: %1
La llamada continúa, pero el otro lado no le oye.</translation>
    </message>
    <message>
        <source>The speaker cannot be used: %1
The call goes on, but you do not hear the other side.</source>
        <translation>No se puede usar el altavoz: %1
La llamada continúa, pero usted no oye al otro lado.</translation>
    </message>
</context>
<context>
    <name>TCameraModePage</name>
    <message>
        <source>Format</source>
        <translation>Formato</translation>
    </message>
</context>
<context>
    <name>TDesktopNotices</name>
    <message>
        <source>%1 calling...</source>
        <translation>%1 llama...</translation>
    </message>
    <message>
        <source>%1 (%2) calling...</source>
        <translation>%1 (%2) llama...</translation>
    </message>
    <message>
        <source>Text message received</source>
        <translation>Mensaje de texto recibido</translation>
    </message>
    <message>
        <source>File received</source>
        <translation>Archivo recibido</translation>
    </message>
    <message>
        <source>&quot;%1&quot; from %2</source>
        <translation>«%1» de %2</translation>
    </message>
    <message>
        <source>Answer</source>
        <translation>Responder</translation>
    </message>
    <message>
        <source>Decline</source>
        <translation>Rechazar</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>Mostrar</translation>
    </message>
    <message numerus="yes">
        <source>%n files and messages received</source>
        <translation>
            <numerusform>%n archivo o mensaje recibido</numerusform>
            <numerusform>%n archivos y mensajes recibidos</numerusform>
        </translation>
    </message>
    <message>
        <source>Incoming call</source>
        <translation>Llamada entrante</translation>
    </message>
</context>
<context>
    <name>TExclusiveFile</name>
    <message>
        <source>%1 is already open.</source>
        <translation>%1 ya está abierto.</translation>
    </message>
    <message>
        <source>%1 does not exist.</source>
        <translation>%1 no existe.</translation>
    </message>
    <message>
        <source>%1 is in use by another program.</source>
        <translation>%1 lo está usando otro programa.</translation>
    </message>
    <message>
        <source>Cannot open %1: %2.</source>
        <translation>No se puede abrir %1: %2.</translation>
    </message>
    <message>
        <source>%1 is a folder, not a file.</source>
        <translation>%1 es una carpeta, no un archivo.</translation>
    </message>
    <message>
        <source>%1 is not a regular file.</source>
        <translation>%1 no es un archivo normal.</translation>
    </message>
    <message>
        <source>%1 is open for writing in another program.</source>
        <translation>%1 está abierto para escritura en otro programa.</translation>
    </message>
</context>
<context>
    <name>TFGraphConfig</name>
    <message>
        <source>ParlavueVP Video Device Settings</source>
        <translation>ParlavueVP – Ajustes del dispositivo de vídeo</translation>
    </message>
    <message>
        <source> Capture Sources </source>
        <translation> Fuentes de captura </translation>
    </message>
    <message>
        <source>Video</source>
        <translation>Vídeo</translation>
    </message>
    <message>
        <source>Video Pixel Format</source>
        <translation>Formato de píxel de vídeo</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Aplicar</translation>
    </message>
    <message>
        <source>Dialogs</source>
        <translation>Diálogos</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
    </message>
</context>
<context>
    <name>TGstCamera</name>
    <message>
        <source>The camera is gone.</source>
        <translation>La cámara ya no está.</translation>
    </message>
    <message>
        <source>No screen was chosen to be shared.</source>
        <translation>No se eligió ninguna pantalla para compartir.</translation>
    </message>
    <message>
        <source>The GStreamer element %1 is missing; install it and try again.</source>
        <translation>Falta el elemento de GStreamer %1; instálelo y vuelva a intentarlo.</translation>
    </message>
    <message>
        <source>The camera cannot be opened in the chosen mode.</source>
        <translation>No se puede abrir la cámara en el modo elegido.</translation>
    </message>
    <message>
        <source>The camera sent no picture within %1 seconds.</source>
        <translation>La cámara no envió ninguna imagen en %1 segundos.</translation>
    </message>
    <message>
        <source>The camera could not be started: %1</source>
        <translation>No se pudo iniciar la cámara: %1</translation>
    </message>
    <message>
        <source>The camera was disconnected.</source>
        <translation>La cámara se desconectó.</translation>
    </message>
</context>
<context>
    <name>TGstElements</name>
    <message>
        <source>These GStreamer elements are missing:
%1

Install them with:
    sudo apt-get install %2</source>
        <translation>Faltan estos elementos de GStreamer:
%1

Instálelos con:
    sudo apt-get install %2</translation>
    </message>
</context>
<context>
    <name>THostLookup</name>
    <message>
        <source>Socket Error # 11001
Host not found.</source>
        <translation>Error de socket n.º 11001
No se encontró el host.</translation>
    </message>
</context>
<context>
    <name>TIdentity</name>
    <message>
        <source>Calls, files and messages are not encrypted: %1</source>
        <translation>Las llamadas, los archivos y los mensajes no se cifran: %1</translation>
    </message>
</context>
<context>
    <name>TIniFile</name>
    <message>
        <source>Unable to write to %1</source>
        <translation>No se puede escribir en %1</translation>
    </message>
</context>
<context>
    <name>TKnownKeys</name>
    <message>
        <source>The file of your contacts&apos; keys could not be read; it was set aside as %1. Your contacts&apos; keys will be learnt again.</source>
        <translation>No se pudo leer el archivo de las claves de sus contactos; se apartó como %1. Las claves de sus contactos se volverán a aprender.</translation>
    </message>
</context>
<context>
    <name>TLineFile</name>
    <message>
        <source>Cannot open %1: %2</source>
        <translation>No se puede abrir %1: %2</translation>
    </message>
    <message>
        <source>Cannot read %1: %2</source>
        <translation>No se puede leer %1: %2</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>No se puede escribir %1: %2</translation>
    </message>
    <message>
        <source>Cannot write %1: it could not be written whole</source>
        <translation>No se puede escribir %1: no se pudo escribir completo</translation>
    </message>
</context>
<context>
    <name>TPhone</name>
    <message>
        <source>Waiting for the desktop: pick the screen or window to share</source>
        <translation>Esperando al escritorio: elija la pantalla o la ventana que quiere compartir</translation>
    </message>
    <message>
        <source>Calling...</source>
        <translation>Llamando...</translation>
    </message>
    <message>
        <source>Could not bind socket. Address and port are already in use.</source>
        <translation>No se pudo enlazar el socket. La dirección y el puerto ya están en uso.</translation>
    </message>
    <message>
        <source>Can&apos;t init capture!</source>
        <translation>¡No se puede iniciar la captura!</translation>
    </message>
    <message>
        <source>Key changed: %1</source>
        <translation>Clave cambiada: %1</translation>
    </message>
    <message>
        <source>Encrypted call from %1</source>
        <translation>Llamada cifrada de %1</translation>
    </message>
    <message>
        <source>Encrypted call from %1 (new key)</source>
        <translation>Llamada cifrada de %1 (clave nueva)</translation>
    </message>
    <message>
        <source>Unencrypted call from %1: this address used encryption before</source>
        <translation>Llamada sin cifrar de %1: esta dirección usaba cifrado antes</translation>
    </message>
    <message>
        <source>Unencrypted call from %1</source>
        <translation>Llamada sin cifrar de %1</translation>
    </message>
    <message>
        <source>Can&apos;t reach %1&apos;s Parlavue securely (%2). Call unencrypted?</source>
        <translation>No se puede contactar de forma segura con Parlavue en %1 (%2). ¿Llamar sin cifrar?</translation>
    </message>
    <message>
        <source>%1&apos;s key has changed: reinstalled, or someone in between. Call anyway?</source>
        <translation>La clave de %1 ha cambiado: reinstalado, o alguien en medio. ¿Llamar de todos modos?</translation>
    </message>
    <message>
        <source>Voice/pictures from %1 cannot be decrypted</source>
        <translation>No se pueden descifrar la voz y las imágenes de %1</translation>
    </message>
    <message>
        <source>Different numbers: the call was ended</source>
        <translation>Números distintos: la llamada se terminó</translation>
    </message>
    <message>
        <source>Encrypted · verified</source>
        <translation>Cifrada · verificada</translation>
    </message>
    <message>
        <source>not verified</source>
        <translation>sin verificar</translation>
    </message>
    <message>
        <source>compare </source>
        <translation>compare </translation>
    </message>
    <message>
        <source>Encrypted · Key changed · </source>
        <translation>Cifrada · Clave cambiada · </translation>
    </message>
    <message>
        <source>Encrypted · </source>
        <translation>Cifrada · </translation>
    </message>
    <message>
        <source>Not encrypted: this address used encryption</source>
        <translation>Sin cifrar: esta dirección usaba cifrado</translation>
    </message>
    <message>
        <source>Not encrypted</source>
        <translation>Sin cifrar</translation>
    </message>
</context>
<context>
    <name>TPropertyFrame</name>
    <message>
        <source>This device offers no settings here.</source>
        <translation>Este dispositivo no ofrece ajustes aquí.</translation>
    </message>
    <message>
        <source>Not in use while another setting rules it</source>
        <translation>Sin efecto mientras otro ajuste lo controle</translation>
    </message>
</context>
<context>
    <name>TScreenCastPortal</name>
    <message>
        <source>This desktop offers no screen sharing (no screen-cast portal).</source>
        <translation>Este escritorio no ofrece compartir la pantalla (no hay portal de captura de pantalla).</translation>
    </message>
    <message>
        <source>The desktop&apos;s screen-cast portal did not answer.</source>
        <translation>El portal de captura de pantalla del escritorio no respondió.</translation>
    </message>
    <message>
        <source>The desktop refused to share the screen.</source>
        <translation>El escritorio se negó a compartir la pantalla.</translation>
    </message>
    <message>
        <source>The desktop&apos;s screen-cast portal gave an answer that makes no sense.</source>
        <translation>El portal de captura de pantalla del escritorio dio una respuesta sin sentido.</translation>
    </message>
    <message>
        <source>The desktop&apos;s screen-cast portal failed (%1).</source>
        <translation>El portal de captura de pantalla del escritorio falló (%1).</translation>
    </message>
    <message>
        <source>The session bus cannot hand over the screen&apos;s stream.</source>
        <translation>El bus de sesión no puede entregar el flujo de la pantalla.</translation>
    </message>
    <message>
        <source>The screen was not shared: the choice was cancelled.</source>
        <translation>La pantalla no se compartió: se canceló la elección.</translation>
    </message>
    <message>
        <source>No screen was chosen within %1 seconds.</source>
        <translation>No se eligió ninguna pantalla en %1 segundos.</translation>
    </message>
</context>
<context>
    <name>TSecureSignalling</name>
    <message>
        <source>The call was not placed: %1 can&apos;t take an encrypted call, and only encrypted calls are made</source>
        <translation>La llamada no se realizó: %1 no admite llamadas cifradas, y solo se hacen llamadas cifradas</translation>
    </message>
    <message>
        <source>The call was not placed: %1&apos;s key has changed</source>
        <translation>La llamada no se realizó: la clave de %1 ha cambiado</translation>
    </message>
    <message>
        <source>The secure connection failed (%1)</source>
        <translation>La conexión segura falló (%1)</translation>
    </message>
</context>
<context>
    <name>TSoundDeviceChoice</name>
    <message>
        <source>%1 unplugged: using the default</source>
        <translation>%1 desconectado: se usa el predeterminado</translation>
    </message>
    <message>
        <source>%1 plugged in: using it again</source>
        <translation>%1 conectado: se vuelve a usar</translation>
    </message>
    <message>
        <source>Microphone</source>
        <translation>Micrófono</translation>
    </message>
    <message>
        <source>Speaker</source>
        <translation>Altavoz</translation>
    </message>
</context>
<context>
    <name>TStrmConnection</name>
    <message>
        <source>10060:Connection timed out</source>
        <translation>10060:Se agotó el tiempo de conexión</translation>
    </message>
    <message>
        <source>Socket capture aborted</source>
        <translation>Recepción por el socket interrumpida</translation>
    </message>
    <message>
        <source>not enough free space</source>
        <translation>no hay suficiente espacio libre</translation>
    </message>
    <message>
        <source>The received data cannot be stored: %1</source>
        <translation>No se pueden guardar los datos recibidos: %1</translation>
    </message>
    <message>
        <source>%1 of %2 bytes arrived</source>
        <translation>llegaron %1 de %2 bytes</translation>
    </message>
    <message>
        <source>The body came slower than %1 bytes in %2 s.</source>
        <translation>Los datos llegaron a menos de %1 bytes en %2 s.</translation>
    </message>
</context>
<context>
    <name>TStrmSender</name>
    <message>
        <source>The receiver closed the connection without acknowledging the message.</source>
        <translation>El receptor cerró la conexión sin confirmar el mensaje.</translation>
    </message>
    <message>
        <source>Host Lookup Timed Out</source>
        <translation>Se agotó el tiempo de búsqueda del host</translation>
    </message>
    <message>
        <source>Connection Timed out</source>
        <translation>Se agotó el tiempo de conexión</translation>
    </message>
    <message>
        <source>no answer in %1 s</source>
        <translation>sin respuesta en %1 s</translation>
    </message>
    <message>
        <source>10060:Connection timed out</source>
        <translation>10060:Se agotó el tiempo de conexión</translation>
    </message>
    <message>
        <source>Connection Canceled</source>
        <translation>Conexión cancelada</translation>
    </message>
    <message>
        <source>Socket send aborted</source>
        <translation>Envío por el socket interrumpido</translation>
    </message>
    <message>
        <source>Files of 2 GB or more cannot be sent.</source>
        <translation>No se pueden enviar archivos de 2 GB o más.</translation>
    </message>
    <message>
        <source>The name is longer than 9999 bytes and cannot be sent.</source>
        <translation>El nombre supera los 9999 bytes y no se puede enviar.</translation>
    </message>
    <message>
        <source>Null Remote Address</source>
        <translation>Dirección remota nula</translation>
    </message>
    <message>
        <source>%1 can&apos;t receive encrypted files, and only encrypted ones are sent</source>
        <translation>%1 no puede recibir archivos cifrados, y solo se envían cifrados</translation>
    </message>
    <message>
        <source>Connection Failed</source>
        <translation>Falló la conexión</translation>
    </message>
    <message>
        <source>The receiver&apos;s key has changed; nothing was sent.</source>
        <translation>La clave del receptor ha cambiado; no se envió nada.</translation>
    </message>
    <message>
        <source>The secure connection failed (%1)</source>
        <translation>La conexión segura falló (%1)</translation>
    </message>
    <message>
        <source>The stream cannot be read: %1</source>
        <translation>No se puede leer el flujo: %1</translation>
    </message>
    <message>
        <source>it ended before its size</source>
        <translation>terminó antes de su tamaño</translation>
    </message>
    <message>
        <source>10054:Connection reset by peer</source>
        <translation>10054:El otro extremo restableció la conexión</translation>
    </message>
</context>
<context>
    <name>TV4l2TunerPage</name>
    <message>
        <source>Video standard</source>
        <translation>Norma de vídeo</translation>
    </message>
    <message>
        <source>Frequency (MHz)</source>
        <translation>Frecuencia (MHz)</translation>
    </message>
    <message>
        <source>TV Tuner</source>
        <translation>Sintonizador de TV</translation>
    </message>
</context>
<context>
    <name>TVOIPMedia</name>
    <message>
        <source>There is no voice link to carry the call.</source>
        <translation>No hay enlace de voz para la llamada.</translation>
    </message>
</context>
<context>
    <name>TVideoCapture</name>
    <message>
        <source>Camera</source>
        <translation>Cámara</translation>
    </message>
    <message>
        <source> - Capture</source>
        <translation> - Captura</translation>
    </message>
    <message>
        <source>Can&apos;t create video capture filter - propably you havn&apos;t video capture device!</source>
        <translation>No se puede crear el filtro de captura de vídeo: ¡probablemente no tiene un dispositivo de captura de vídeo!</translation>
    </message>
    <message>
        <source>Cannot run preview graph!</source>
        <translation>¡No se puede iniciar la vista previa!</translation>
    </message>
    <message>
        <source>Video Format</source>
        <translation>Formato de vídeo</translation>
    </message>
    <message>
        <source>Video Source</source>
        <translation>Fuente de vídeo</translation>
    </message>
    <message>
        <source>Video Display</source>
        <translation>Pantalla de vídeo</translation>
    </message>
    <message>
        <source>Video Capture Filter</source>
        <translation>Filtro de captura de vídeo</translation>
    </message>
    <message>
        <source>Video Crossbar</source>
        <translation>Conmutador de vídeo</translation>
    </message>
    <message>
        <source>TV Tuner</source>
        <translation>Sintonizador de TV</translation>
    </message>
    <message>
        <source>Audio Capture Filter</source>
        <translation>Filtro de captura de audio</translation>
    </message>
    <message>
        <source>Audio Crossbar</source>
        <translation>Conmutador de audio</translation>
    </message>
    <message>
        <source>TV Audio</source>
        <translation>Audio de TV</translation>
    </message>
    <message>
        <source>Video Capture Pin</source>
        <translation>Pin de captura de vídeo</translation>
    </message>
    <message>
        <source>Video Preview Pin</source>
        <translation>Pin de vista previa de vídeo</translation>
    </message>
    <message>
        <source>Audio Capture Pin</source>
        <translation>Pin de captura de audio</translation>
    </message>
    <message>
        <source>Video Compressor</source>
        <translation>Compresor de vídeo</translation>
    </message>
    <message>
        <source>Audio Compressor</source>
        <translation>Compresor de audio</translation>
    </message>
</context>
<context>
    <name>TVideoLink</name>
    <message>
        <source>The screen does not fit a datagram.</source>
        <translation>La pantalla no cabe en un datagrama.</translation>
    </message>
    <message>
        <source>The frame could not be compressed.</source>
        <translation>No se pudo comprimir la imagen.</translation>
    </message>
    <message>
        <source>The frame is larger than the send buffer.</source>
        <translation>La imagen es mayor que el búfer de envío.</translation>
    </message>
    <message>
        <source>The picture could not be sealed.</source>
        <translation>No se pudo sellar la imagen.</translation>
    </message>
</context>
<context>
    <name>TfrmCalling</name>
    <message>
        <source>Calling Status</source>
        <translation>Estado de la llamada</translation>
    </message>
    <message>
        <source>Calling...</source>
        <translation>Llamando...</translation>
    </message>
    <message>
        <source>Cancel Call</source>
        <translation>Cancelar llamada</translation>
    </message>
</context>
<context>
    <name>TfrmExport</name>
    <message>
        <source>Searching For Network Clients...</source>
        <translation>Buscando equipos de la red...</translation>
    </message>
    <message>
        <source>Searching...</source>
        <translation>Buscando...</translation>
    </message>
</context>
<context>
    <name>TfrmIP</name>
    <message>
        <source>File [IPAddress.dat] not Found.</source>
        <translation>No se encontró el archivo [IPAddress.dat].</translation>
    </message>
    <message>
        <source>Please enter Contact Name and IP Address.</source>
        <translation>Introduzca el nombre del contacto y la dirección IP.</translation>
    </message>
    <message>
        <source>Delete selected contact?</source>
        <translation>¿Eliminar el contacto seleccionado?</translation>
    </message>
    <message>
        <source>Wrong Address Format.</source>
        <translation>Formato de dirección incorrecto.</translation>
    </message>
    <message>
        <source>IP Address Book</source>
        <translation>Libreta de direcciones IP</translation>
    </message>
    <message>
        <source>Contact Name</source>
        <translation>Nombre del contacto</translation>
    </message>
    <message>
        <source>Host Name / IP Address</source>
        <translation>Nombre de host / dirección IP</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Añadir</translation>
    </message>
    <message>
        <source>Clear List</source>
        <translation>Vaciar lista</translation>
    </message>
    <message>
        <source>Key...</source>
        <translation>Clave...</translation>
    </message>
    <message>
        <source>Contact Key</source>
        <translation>Clave del contacto</translation>
    </message>
    <message>
        <source>Double Click to use IP Address</source>
        <translation>Haga doble clic para usar la dirección IP</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Eliminar</translation>
    </message>
    <message>
        <source>Who&apos;s Online?</source>
        <translation>¿Quién está conectado?</translation>
    </message>
    <message>
        <source>Call Selected Contact</source>
        <translation>Llamar al contacto seleccionado</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Contactos</translation>
    </message>
    <message>
        <source>Select a contact to give it a key.</source>
        <translation>Seleccione un contacto para asignarle una clave.</translation>
    </message>
    <message>
        <source>A key can be given to a contact with an IP address only.</source>
        <translation>Solo se puede asignar una clave a un contacto con dirección IP.</translation>
    </message>
    <message>
        <source>The key of %1, as its settings window shows it under &quot;Your key&quot; (Copy):</source>
        <translation>La clave de %1, tal como la muestra su ventana de ajustes en «Su clave» (Copiar):</translation>
    </message>
    <message>
        <source>That is not a key: a key is 52 letters and digits, as the other computer&apos;s settings window shows it under &quot;Your key&quot;.</source>
        <translation>Eso no es una clave: una clave tiene 52 letras y cifras, tal como la muestra la ventana de ajustes del otro equipo en «Su clave».</translation>
    </message>
    <message>
        <source>No key known: calls and files go unencrypted unless it announces one</source>
        <translation>No se conoce ninguna clave: llamadas y archivos van sin cifrar mientras no anuncie una</translation>
    </message>
    <message>
        <source>verified</source>
        <translation>verificada</translation>
    </message>
    <message>
        <source>refused</source>
        <translation>rechazada</translation>
    </message>
    <message>
        <source>seen</source>
        <translation>vista</translation>
    </message>
    <message>
        <source>Encrypted: key %1, %2</source>
        <translation>Cifrado: clave %1, %2</translation>
    </message>
    <message>
        <source>Cannot create file %1</source>
        <translation>No se puede crear el archivo %1</translation>
    </message>
</context>
<context>
    <name>TfrmMain</name>
    <message>
        <source>Enter Host Name To Call</source>
        <translation>Host al que llamar</translation>
    </message>
    <message>
        <source>Halvorn Software - Parlavue Video Phone</source>
        <translation>Halvorn Software - Videoteléfono Parlavue</translation>
    </message>
    <message>
        <source>Microphone Level %1</source>
        <translation>Nivel del micrófono %1</translation>
    </message>
    <message>
        <source>Volume Level %1 %</source>
        <translation>Volumen %1 %</translation>
    </message>
    <message>
        <source>Please enter a valid IP Address or Host Name First.</source>
        <translation>Introduzca primero una dirección IP o un nombre de host válidos.</translation>
    </message>
    <message>
        <source> calling...</source>
        <translation> llama...</translation>
    </message>
    <message>
        <source>Call Security</source>
        <translation>Seguridad de la llamada</translation>
    </message>
    <message>
        <source>Same numbers</source>
        <translation>Mismos números</translation>
    </message>
    <message>
        <source>Different numbers</source>
        <translation>Números distintos</translation>
    </message>
    <message>
        <source>Toggle Sidebar</source>
        <translation>Mostrar/ocultar panel</translation>
    </message>
    <message>
        <source>Show Sidebar</source>
        <translation>Mostrar panel lateral</translation>
    </message>
    <message>
        <source>Toggle Preview</source>
        <translation>Mostrar/ocultar vista previa</translation>
    </message>
    <message>
        <source>Show Preview Picture</source>
        <translation>Mostrar imagen de vista previa</translation>
    </message>
    <message>
        <source>Minimize Window</source>
        <translation>Minimizar ventana</translation>
    </message>
    <message>
        <source>Close Window</source>
        <translation>Cerrar ventana</translation>
    </message>
    <message>
        <source>Close Window, Title Bar</source>
        <translation>Cerrar ventana, barra de título</translation>
    </message>
    <message>
        <source>Your IP Address</source>
        <translation>Su dirección IP</translation>
    </message>
    <message>
        <source>Make / Answer Call</source>
        <translation>Llamar / Responder</translation>
    </message>
    <message>
        <source>Make or Answer Call</source>
        <translation>Llamar o responder</translation>
    </message>
    <message>
        <source>End / Decline Call</source>
        <translation>Colgar / Rechazar</translation>
    </message>
    <message>
        <source>End or Decline Call</source>
        <translation>Colgar o rechazar la llamada</translation>
    </message>
    <message>
        <source>Call Settings...</source>
        <translation>Ajustes de llamada...</translation>
    </message>
    <message>
        <source>Call Settings</source>
        <translation>Ajustes de llamada</translation>
    </message>
    <message>
        <source>Telephone Book...</source>
        <translation>Agenda...</translation>
    </message>
    <message>
        <source>Telephone Book</source>
        <translation>Agenda</translation>
    </message>
    <message>
        <source>Take Snapshot</source>
        <translation>Capturar imagen</translation>
    </message>
    <message>
        <source>Maximize / Restore</source>
        <translation>Maximizar / Restaurar</translation>
    </message>
    <message>
        <source>Maximize or Restore</source>
        <translation>Maximizar o restaurar</translation>
    </message>
    <message>
        <source>Mute Microphone</source>
        <translation>Silenciar micrófono</translation>
    </message>
    <message>
        <source>Close Parlavue</source>
        <translation>Cerrar Parlavue</translation>
    </message>
    <message>
        <source>Microphone Level</source>
        <translation>Nivel del micrófono</translation>
    </message>
    <message>
        <source>Volume Level</source>
        <translation>Volumen</translation>
    </message>
    <message>
        <source>Microphone Level minimum 0</source>
        <translation>Nivel del micrófono mínimo 0</translation>
    </message>
    <message>
        <source>Volume Level minimum 0</source>
        <translation>Volumen mínimo 0</translation>
    </message>
    <message>
        <source>Speaker</source>
        <translation>Altavoz</translation>
    </message>
    <message>
        <source>Stop/Start Preview</source>
        <translation>Detener/iniciar vista previa</translation>
    </message>
    <message>
        <source>Camera Preview</source>
        <translation>Vista previa de la cámara</translation>
    </message>
    <message>
        <source>Transfer File(s)...</source>
        <translation>Transferir archivo(s)...</translation>
    </message>
    <message>
        <source>Transfer Files</source>
        <translation>Transferir archivos</translation>
    </message>
    <message>
        <source>Video Settings...</source>
        <translation>Ajustes de vídeo...</translation>
    </message>
    <message>
        <source>Video Settings</source>
        <translation>Ajustes de vídeo</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Detenido</translation>
    </message>
    <message>
        <source>Video Frame too large. Lower resolution on video camera.</source>
        <translation>Imagen de vídeo demasiado grande. Reduzca la resolución de la cámara.</translation>
    </message>
    <message>
        <source>Calls the host in the field, or answers a call that rings</source>
        <translation>Llama al host del campo, o responde a una llamada que suena</translation>
    </message>
    <message>
        <source>Ends the call, or declines one that rings</source>
        <translation>Termina la llamada, o rechaza la que suena</translation>
    </message>
    <message>
        <source>Your caller ID, ring tone, ring time and folder for received files</source>
        <translation>Su ID de llamante, el tono, el tiempo de timbre y la carpeta de archivos recibidos</translation>
    </message>
    <message>
        <source>Your contacts, and who is online</source>
        <translation>Sus contactos, y quién está conectado</translation>
    </message>
    <message>
        <source>Copies the picture to the clipboard</source>
        <translation>Copia la imagen al portapapeles</translation>
    </message>
    <message>
        <source>Fills the screen, or gives it back</source>
        <translation>Ocupa toda la pantalla, o la devuelve</translation>
    </message>
    <message>
        <source>Mutes and unmutes you during a call</source>
        <translation>Le silencia y le devuelve el sonido durante una llamada</translation>
    </message>
    <message>
        <source>Ends the program</source>
        <translation>Cierra el programa</translation>
    </message>
    <message>
        <source>Stops or starts your camera&apos;s picture</source>
        <translation>Detiene o inicia la imagen de su cámara</translation>
    </message>
    <message>
        <source>Sends files and messages to the host in the field</source>
        <translation>Envía archivos y mensajes al host del campo</translation>
    </message>
    <message>
        <source>Chooses the camera</source>
        <translation>Elige la cámara</translation>
    </message>
    <message>
        <source>Shows or hides your own picture</source>
        <translation>Muestra u oculta su propia imagen</translation>
    </message>
    <message>
        <source>Minimizes the window</source>
        <translation>Minimiza la ventana</translation>
    </message>
    <message>
        <source>Closes the window and ends the program</source>
        <translation>Cierra la ventana y el programa</translation>
    </message>
    <message>
        <source>Shows or hides the buttons beside the picture</source>
        <translation>Muestra u oculta los botones junto a la imagen</translation>
    </message>
</context>
<context>
    <name>TfrmNetworkClients</name>
    <message>
        <source>Online Network Clients</source>
        <translation>Equipos conectados</translation>
    </message>
    <message>
        <source>Network clients that are currently online:</source>
        <translation>Equipos conectados ahora mismo:</translation>
    </message>
    <message>
        <source>Refresh List</source>
        <translation>Actualizar lista</translation>
    </message>
    <message>
        <source>Add Host Names To List</source>
        <translation>Añadir nombres de host a la lista</translation>
    </message>
    <message>
        <source>Network Provider: </source>
        <translation>Proveedor de red: </translation>
    </message>
    <message>
        <source>Computer Name: </source>
        <translation>Nombre del equipo: </translation>
    </message>
    <message>
        <source>Host Name and Connection Path: \\</source>
        <translation>Nombre de host y ruta de conexión: \\</translation>
    </message>
    <message>
        <source>; it announces no encryption key</source>
        <translation>; no anuncia ninguna clave de cifrado</translation>
    </message>
    <message>
        <source>; it announces the encryption key %1 ...</source>
        <translation>; anuncia la clave de cifrado %1 ...</translation>
    </message>
    <message>
        <source>Runs Parlavue: this computer can answer a call</source>
        <translation>Ejecuta Parlavue: este equipo puede responder una llamada</translation>
    </message>
</context>
<context>
    <name>TfrmSettings</name>
    <message>
        <source>Supported Media Files|*.mp3;*.wav;*.wma|MP3 (*.mp3)|*.mp3|Wave (*.wav)|*.wav|Windows Media Audio (*.wma)|*.wma</source>
        <translation>Archivos multimedia compatibles|*.mp3;*.wav;*.wma|MP3 (*.mp3)|*.mp3|Wave (*.wav)|*.wav|Windows Media Audio (*.wma)|*.wma</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Ajustes</translation>
    </message>
    <message>
        <source>Ring Tone</source>
        <translation>Tono de llamada</translation>
    </message>
    <message>
        <source>Ring Time (sec)</source>
        <translation>Tiempo de timbre (s)</translation>
    </message>
    <message>
        <source>Automatically answer incoming calls.</source>
        <translation>Responder automáticamente a las llamadas entrantes.</translation>
    </message>
    <message>
        <source>Echo cancellation</source>
        <translation>Cancelación de eco</translation>
    </message>
    <message>
        <source>Noise suppression</source>
        <translation>Supresión de ruido</translation>
    </message>
    <message>
        <source>Unanswered Message</source>
        <translation>Mensaje de ausencia</translation>
    </message>
    <message>
        <source>Caller ID</source>
        <translation>ID de llamante</translation>
    </message>
    <message>
        <source>Files Receive Path</source>
        <translation>Carpeta de recepción</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Guardar</translation>
    </message>
    <message>
        <source>Video Options</source>
        <translation>Opciones de vídeo</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
    </message>
    <message>
        <source>Microphone</source>
        <translation>Micrófono</translation>
    </message>
    <message>
        <source>Speaker</source>
        <translation>Altavoz</translation>
    </message>
    <message>
        <source>Your key</source>
        <translation>Su clave</translation>
    </message>
    <message>
        <source>Not available</source>
        <translation>No disponible</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copiar</translation>
    </message>
    <message>
        <source>Copy Your Key</source>
        <translation>Copiar su clave</translation>
    </message>
    <message>
        <source>Show this computer on the network</source>
        <translation>Mostrar este equipo en la red</translation>
    </message>
    <message>
        <source>Encryption</source>
        <translation>Cifrado</translation>
    </message>
    <message>
        <source>Prefer encrypted</source>
        <translation>Preferir cifrado</translation>
    </message>
    <message>
        <source>Encrypted only</source>
        <translation>Solo cifrado</translation>
    </message>
    <message>
        <source>Choose Ring Tone</source>
        <translation>Elegir tono de llamada</translation>
    </message>
    <message>
        <source>Choose Files Receive Path</source>
        <translation>Elegir carpeta de recepción</translation>
    </message>
    <message>
        <source>System default</source>
        <translation>Predeterminado del sistema</translation>
    </message>
    <message>
        <source>%1 (not plugged in)</source>
        <translation>%1 (no conectado)</translation>
    </message>
    <message>
        <source>Files Received Path</source>
        <translation>Carpeta de recepción</translation>
    </message>
</context>
<context>
    <name>TfrmTransfer</name>
    <message>
        <source>File or Document may still be in use.<byte value="xd"/>
<byte value="xd"/>
{ or Host is not connected at this time }</source>
        <translation>Puede que el archivo o documento siga en uso.<byte value="xd"/>
<byte value="xd"/>
{ o el host no está conectado en este momento }</translation>
    </message>
    <message>
        <source>File Transfer Successful and Complete.</source>
        <translation>Transferencia de archivos completada con éxito.</translation>
    </message>
    <message>
        <source>Transmission Interrupted or Disconnected</source>
        <translation>Transmisión interrumpida o desconectada</translation>
    </message>
    <message>
        <source>Cannot open %1: %2</source>
        <translation>No se puede abrir %1: %2</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>No se puede escribir %1: %2</translation>
    </message>
    <message>
        <source>Cannot read %1: %2</source>
        <translation>No se puede leer %1: %2</translation>
    </message>
    <message>
        <source>Cannot write %1: it could not be written whole</source>
        <translation>No se puede escribir %1: no se pudo escribir completo</translation>
    </message>
    <message>
        <source>File Transfer Portal</source>
        <translation>Portal de transferencia de archivos</translation>
    </message>
    <message>
        <source>Files Received</source>
        <translation>Archivos recibidos</translation>
    </message>
    <message>
        <source>Clear List</source>
        <translation>Vaciar lista</translation>
    </message>
    <message>
        <source>Move</source>
        <translation>Mover</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Eliminar</translation>
    </message>
    <message>
        <source>Send Text Message</source>
        <translation>Enviar mensaje de texto</translation>
    </message>
    <message>
        <source>Ready...</source>
        <translation>Listo...</translation>
    </message>
    <message>
        <source>Select Files To Transfer</source>
        <translation>Elegir archivos para transferir</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
    </message>
    <message>
        <source>Transfer Progress</source>
        <translation>Progreso de la transferencia</translation>
    </message>
    <message>
        <source>Please make a selection first.</source>
        <translation>Haga primero una selección.</translation>
    </message>
    <message>
        <source>Delete Selected File(s)?</source>
        <translation>¿Eliminar los archivos seleccionados?</translation>
    </message>
    <message>
        <source>Cannot delete %1: %2</source>
        <translation>No se puede eliminar %1: %2</translation>
    </message>
    <message>
        <source>Move Selected File(s)?</source>
        <translation>¿Mover los archivos seleccionados?</translation>
    </message>
    <message>
        <source>Move File or Document to Selected Folder</source>
        <translation>Mover el archivo o documento a la carpeta elegida</translation>
    </message>
    <message>
        <source>Cannot move %1: the file does not exist.</source>
        <translation>No se puede mover %1: el archivo no existe.</translation>
    </message>
    <message>
        <source>File has been moved succesfully.</source>
        <translation>El archivo se movió correctamente.</translation>
    </message>
    <message>
        <source>File already exists. Overwrite File?</source>
        <translation>El archivo ya existe. ¿Sobrescribirlo?</translation>
    </message>
    <message>
        <source>Selected file move cancelled.</source>
        <translation>Se canceló el traslado del archivo seleccionado.</translation>
    </message>
    <message>
        <source>File has been moved or deleted.</source>
        <translation>El archivo se ha movido o eliminado.</translation>
    </message>
    <message>
        <source>No program could be started to open %1.</source>
        <translation>No se pudo iniciar ningún programa para abrir %1.</translation>
    </message>
    <message>
        <source>Incoming</source>
        <translation>Recibiendo</translation>
    </message>
    <message>
        <source>Refused a file from %1: %2</source>
        <translation>Archivo de %1 rechazado: %2</translation>
    </message>
    <message>
        <source>no receive folder</source>
        <translation>no hay carpeta de recepción</translation>
    </message>
    <message>
        <source>it was not encrypted, and only encrypted files are taken</source>
        <translation>no estaba cifrado, y solo se aceptan archivos cifrados</translation>
    </message>
    <message>
        <source>Incoming from %1</source>
        <translation>Recibiendo de %1</translation>
    </message>
    <message>
        <source> (encrypted)</source>
        <translation> (cifrado)</translation>
    </message>
    <message>
        <source>the receive folder &quot;%1&quot; does not exist</source>
        <translation>la carpeta de recepción «%1» no existe</translation>
    </message>
    <message>
        <source>Not encrypted: %1, from an address that used encryption before</source>
        <translation>Sin cifrar: %1, de una dirección que usaba cifrado antes</translation>
    </message>
    <message>
        <source>Key changed: %1</source>
        <translation>Clave cambiada: %1</translation>
    </message>
    <message>
        <source>A file from %1 was cut short: %2</source>
        <translation>Un archivo de %1 llegó incompleto: %2</translation>
    </message>
    <message numerus="yes">
        <source>%n files from %1 were cut short</source>
        <translation>
            <numerusform>%n archivo de %1 llegó incompleto</numerusform>
            <numerusform>%n archivos de %1 llegaron incompletos</numerusform>
        </translation>
    </message>
    <message>
        <source>%1&apos;s key has changed: reinstalled, or someone in between. Send anyway?</source>
        <translation>La clave de %1 ha cambiado: reinstalado, o alguien en medio. ¿Enviar de todos modos?</translation>
    </message>
    <message>
        <source>Can&apos;t reach %1&apos;s Parlavue securely (%2). Send unencrypted?</source>
        <translation>No se puede contactar de forma segura con Parlavue en %1 (%2). ¿Enviar sin cifrar?</translation>
    </message>
    <message>
        <source>Key changed: %1 answered with another key than before</source>
        <translation>Clave cambiada: %1 respondió con una clave distinta a la de antes</translation>
    </message>
    <message>
        <source>not encrypted</source>
        <translation>sin cifrar</translation>
    </message>
    <message>
        <source>encrypted, key changed</source>
        <translation>cifrado, clave cambiada</translation>
    </message>
    <message>
        <source>encrypted</source>
        <translation>cifrado</translation>
    </message>
    <message>
        <source>&quot;%1&quot; from %2</source>
        <translation>«%1» de %2</translation>
    </message>
    <message>
        <source>Please enter Host Name or IP Address First.</source>
        <translation>Introduzca primero un nombre de host o una dirección IP.</translation>
    </message>
    <message>
        <source>Select Files to Transfer</source>
        <translation>Elegir archivos para transferir</translation>
    </message>
    <message>
        <source>All Files (*.*)|*.*</source>
        <translation>Todos los archivos (*.*)|*.*</translation>
    </message>
    <message>
        <source>%1 was opened for writing while it was sent.</source>
        <translation>%1 se abrió para escritura mientras se enviaba.</translation>
    </message>
    <message>
        <source>Not Connected</source>
        <translation>No conectado</translation>
    </message>
    <message>
        <source>Not sent: %1</source>
        <translation>No enviado: %1</translation>
    </message>
    <message>
        <source>Sending...</source>
        <translation>Enviando...</translation>
    </message>
    <message>
        <source>Sending... %1 KB</source>
        <translation>Enviando... %1 KB</translation>
    </message>
    <message>
        <source>Completed...</source>
        <translation>Completado...</translation>
    </message>
    <message>
        <source>Invalid Host!</source>
        <translation>¡Host no válido!</translation>
    </message>
    <message>
        <source>Specify a new host:</source>
        <translation>Indique un host nuevo:</translation>
    </message>
</context>
<context>
    <name>TfrmTxtMessage</name>
    <message>
        <source>Send Text Message</source>
        <translation>Enviar mensaje de texto</translation>
    </message>
    <message>
        <source>Text Message</source>
        <translation>Mensaje de texto</translation>
    </message>
    <message>
        <source>Paste From Clipboard</source>
        <translation>Pegar del portapapeles</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Borrar</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Enviar</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
    </message>
    <message>
        <source>Please enter a valid IP Address or Host Name.</source>
        <translation>Introduzca una dirección IP o un nombre de host válidos.</translation>
    </message>
    <message>
        <source>Cannot create %1: %2</source>
        <translation>No se puede crear %1: %2</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>No se puede escribir %1: %2</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Halvorn Office - Parlavue Video Phone</source>
        <translation>Halvorn Office - Videoteléfono Parlavue</translation>
    </message>
</context>
</TS>
