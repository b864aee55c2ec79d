#!/usr/bin/env python3
"""A mail server for the SMTP client's tests, on Debian's aiosmtpd.

smtp_server.py PORT CERT KEY USER PASSWORD FOLDER [--implicit-tls]

Listens on 127.0.0.1:PORT with STARTTLS (or TLS from the start with
--implicit-tls) and AUTH LOGIN/PLAIN for the one account USER/PASSWORD,
allowed only once the connection is encrypted. Each message it takes is
written to FOLDER as message-N/: "raw" (the content as received, after the
server removed the dot-stuffing), "envelope" (sender, recipients, the user
that logged in and whether TLS was on), "body" (the first text part,
decoded) and one file per attachment under its own name. The folder
appears whole (renamed into place) so a reader never sees half of it.
Stops on SIGTERM.
"""

import email
import email.policy
import os
import signal
import ssl
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


def main():
    port, cert, key, user, password, folder = sys.argv[1:7]
    implicit = "--implicit-tls" in sys.argv[7:]
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    count = [0]

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword) and auth_data.login == user.encode()
              and auth_data.password == password.encode())
        # Not "handled": the server answers the refusal itself.
        return AuthResult(success=ok, handled=False, auth_data=auth_data)

    class Handler:
        async def handle_DATA(self, server, session, envelope):
            count[0] += 1
            final = os.path.join(folder, "message-%d" % count[0])
            work = final + ".part"
            os.makedirs(work)
            raw = envelope.original_content or envelope.content
            with open(os.path.join(work, "raw"), "wb") as f:
                f.write(raw)
            login_data = getattr(session, "login_data", None)
            login = login_data.decode() if isinstance(login_data, bytes) else ""
            encrypted = implicit or bool(getattr(session, "ssl", None))
            with open(os.path.join(work, "envelope"), "w") as f:
                f.write("from %s\n" % envelope.mail_from)
                for rcpt in envelope.rcpt_tos:
                    f.write("to %s\n" % rcpt)
                f.write("login %s\ntls %s\n" % (login, "yes" if encrypted else "no"))
            message = email.message_from_bytes(raw, policy=email.policy.default)
            body = message.get_body(preferencelist=("plain", "html"))
            with open(os.path.join(work, "body"), "wb") as f:
                f.write(body.get_payload(decode=True) if body is not None else b"")
            for part in message.iter_attachments():
                name = os.path.basename(part.get_filename() or "unnamed")
                with open(os.path.join(work, "attachment-" + name), "wb") as f:
                    f.write(part.get_payload(decode=True))
            os.rename(work, final)
            return "250 2.0.0 Message accepted for delivery"

    # With TLS from the start the server does not see it as such; the
    # connection is encrypted all the same.
    options = dict(hostname="127.0.0.1", port=int(port), authenticator=authenticator,
                   auth_require_tls=not implicit, decode_data=False)
    if implicit:
        controller = Controller(Handler(), ssl_context=context, **options)
    else:
        controller = Controller(Handler(), tls_context=context, require_starttls=True, **options)
    done = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: done.set())
    signal.signal(signal.SIGINT, lambda *_: done.set())
    controller.start()
    print("listening on %s" % port, flush=True)
    done.wait()
    controller.stop()


if __name__ == "__main__":
    main()
