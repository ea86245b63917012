"""A real SMTP server for the end-to-end mail test: aiosmtpd on loopback with AUTH LOGIN required.

Usage: smtp_sink.py OUT_DIR USER PASSWORD [7bit]
Prints "PORT <n>" once it listens and stops when its standard input closes or after 60 seconds.
With "7bit" it does not advertise 8BITMIME. Like a server with strict 8-bit checks it refuses
content with 8-bit bytes that was not announced with BODY=8BITMIME. For every mail it writes to
OUT_DIR: content.eml, the content as received after dot-unstuffing; envelope.txt, mechanism, login,
sender and recipients, one a line; reader.json, what a reader that follows the standards shows
(Python's email package with its default policy), in UTF-8; mails.txt, one line for every mail
received.
"""
import json
import select
import socket
import sys
from email import policy
from email.parser import BytesParser

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

# The monitor sends its user name and password in its code page, GBK.
out_dir, user, password = sys.argv[1], sys.argv[2].encode("gbk"), sys.argv[3].encode("gbk")
advertise_8bit = sys.argv[4:] != ["7bit"]
seen = {}


def authenticator(server, session, envelope, mechanism, auth_data):
    seen["mechanism"] = mechanism
    ok = isinstance(auth_data, LoginPassword) and auth_data.login == user and auth_data.password == password
    if isinstance(auth_data, LoginPassword):
        seen["login"] = auth_data.login.decode("latin-1")
    return AuthResult(success=ok)


def reader_view(content, mail_options):
    message = BytesParser(policy=policy.default).parsebytes(content)

    def mailboxes(name):
        header = message[name]
        return [[a.display_name, a.addr_spec] for a in header.addresses] if header else []

    defects = [type(d).__name__ for d in message.defects]
    for name in message.keys():
        defects += [type(d).__name__ for d in message[name].defects]
    return {
        "subject": str(message["subject"]),
        "from": mailboxes("from"),
        "to": mailboxes("to"),
        "content_type": message.get_content_type(),
        "charset": message.get_content_charset(),
        "transfer": message.get("content-transfer-encoding", ""),
        "body": message.get_content().replace("\r\n", "\n"),
        "defects": defects,
        "mail_options": mail_options,
    }


class Sink:
    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        session.host_name = hostname
        return [r for r in responses if advertise_8bit or r[4:].upper() != "8BITMIME"]

    async def handle_DATA(self, server, session, envelope):
        content = envelope.original_content
        if not content.isascii() and "BODY=8BITMIME" not in [o.upper() for o in envelope.mail_options]:
            return "554 5.6.0 improper use of 8-bit data"
        with open(out_dir + "/content.eml", "wb") as f:
            f.write(content)
        with open(out_dir + "/envelope.txt", "w") as f:
            f.write("\n".join([seen.get("mechanism", ""), seen.get("login", ""), envelope.mail_from]
                              + list(envelope.rcpt_tos)) + "\n")
        with open(out_dir + "/reader.json", "w", encoding="utf-8") as f:
            json.dump(reader_view(content, envelope.mail_options), f, ensure_ascii=False)
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
