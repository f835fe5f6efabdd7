#!/usr/bin/python3
# A real RTSP server for the client tests: GStreamer's RTSP server serving a
# live test picture as RTP/JPEG on /cam. Every RTP packet carries an
# RFC 8285 header extension (the RTP stream id, one-byte form) so that the
# client's extension handling meets a producer it did not write.
#
#   gst_rtsp_server.py PORT AUTH [USER PASSWORD] [RID]
#     AUTH: none, basic or digest
#
# Prints "listening PORT" once the server is attached; runs until stdin
# closes or SIGTERM.
import signal
import sys
import threading

import gi

gi.require_version("Gst", "1.0")
gi.require_version("GstRtp", "1.0")
gi.require_version("GstRtsp", "1.0")
gi.require_version("GstRtspServer", "1.0")
from gi.repository import GLib, Gst, GstRtp, GstRtsp, GstRtspServer  # noqa: E402

REALM = "camsim"
STREAM_ID_URI = "urn:ietf:params:rtp-hdrext:sdes:rtp-stream-id"


def main():
    port, auth = sys.argv[1], sys.argv[2]
    user = sys.argv[3] if len(sys.argv) > 3 else ""
    password = sys.argv[4] if len(sys.argv) > 4 else ""
    rid = sys.argv[5] if len(sys.argv) > 5 else "camsim"
    Gst.init(None)
    loop = GLib.MainLoop()

    server = GstRtspServer.RTSPServer()
    server.set_address("127.0.0.1")
    server.set_service(port)
    factory = GstRtspServer.RTSPMediaFactory()
    factory.set_launch(
        "( videotestsrc is-live=true pattern=ball ! video/x-raw,format=I420,width=160,height=120,framerate=25/1 "
        "! jpegenc ! rtpjpegpay name=pay0 pt=26 )")
    factory.set_shared(True)

    def configure(_factory, media):
        pay = media.get_element().get_by_name("pay0")
        ext = GstRtp.RTPHeaderExtension.create_from_uri(STREAM_ID_URI)
        ext.set_id(1)
        ext.set_property("rid", rid)
        pay.emit("add-extension", ext)

    factory.connect("media-configure", configure)

    if auth != "none":
        rtsp_auth = GstRtspServer.RTSPAuth()
        token = GstRtspServer.RTSPToken()
        token.set_string(GstRtspServer.RTSP_TOKEN_MEDIA_FACTORY_ROLE, "user")
        if auth == "basic":
            rtsp_auth.set_supported_methods(GstRtsp.RTSPAuthMethod.BASIC)
            rtsp_auth.add_basic(GstRtspServer.RTSPAuth.make_basic(user, password), token)
        else:
            rtsp_auth.set_supported_methods(GstRtsp.RTSPAuthMethod.DIGEST)
            rtsp_auth.add_digest(user, password, token)
        server.set_auth(rtsp_auth)
        permissions = GstRtspServer.RTSPPermissions()
        permissions.add_role_from_structure(
            Gst.Structure.new_from_string("user, media.factory.access=(boolean)true, "
                                          "media.factory.construct=(boolean)true"))
        factory.set_permissions(permissions)

    server.get_mount_points().add_factory("/cam", factory)
    if server.attach(None) == 0:
        print("cannot listen", flush=True)
        return 1

    def stdin_watch():
        sys.stdin.read()
        GLib.idle_add(loop.quit)

    threading.Thread(target=stdin_watch, daemon=True).start()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    print("listening %s" % port, flush=True)
    loop.run()
    return 0


if __name__ == "__main__":
    sys.exit(main())
