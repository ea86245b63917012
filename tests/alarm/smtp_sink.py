"""A real SMTP server for the end-to-end mail test: aiosmtpd on loopback with AUTH LOGIN required.

Usage: smtp_sink.py OUT_DIR USER PASSWORD
Prints "PORT <n>" once it listens, writes every received mail to OUT_DIR (content.eml: the content
as received after dot-unstuffing; envelope.txt: mechanism, login, sender, recipients, one a line;
mails.txt: one line for every mail received),
and stops when its standard input closes or after 60 seconds.
"""
import select
import socket
import sys

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

# The monitor sends its user name and password in its code page, GBK.
out_dir, user, password = sys.argv[1], sys.argv[2].encode("gbk"), sys.argv[3].encode("gbk")
seen = {}


def authenticator(server, session, envelope, mechanism, auth_data):
    seen["mechanism"] = mechanism
    ok = isinstance(auth_data, LoginPassword) and auth_data.login == user and auth_data.password == password
    if isinstance(auth_data, LoginPassword):
        seen["login"] = auth_data.login.decode("latin-1")
    return AuthResult(success=ok)


class Sink:
    async def handle_DATA(self, server, session, envelope):
        with open(out_dir + "/content.eml", "wb") as f:
            f.write(envelope.original_content)
        with open(out_dir + "/envelope.txt", "w") as f:
            f.write("\n".join([seen.get("mechanism", ""), seen.get("login", ""), envelope.mail_from]
                              + list(envelope.rcpt_tos)) + "\n")
        with open(out_dir + "/mails.txt", "a") as f:
            f.write(envelope.mail_from + "\n")
        return "250 OK stored"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


port = free_port()
controller = Controller(Sink(), hostname="127.0.0.1", port=port, authenticator=authenticator,
                        auth_required=True, auth_require_tls=False)
controller.start()
print("PORT", port, flush=True)
try:
    select.select([sys.stdin], [], [], 60)
finally:
    controller.stop()
