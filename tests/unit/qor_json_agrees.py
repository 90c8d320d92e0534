#!/usr/bin/env python3
"""Checks that a qor command's --json document parses and carries the same facts as the text
output of the same command: qor_json_agrees.py COMMAND TEXT JSON EXIT, where COMMAND is list,
check, fingerprint or answer, TEXT and JSON hold the two outputs (line ends CR LF or LF) and EXIT is
the exit code both runs gave. Prints what differs and exits 1 when anything does."""
import json
import sys

VERDICTS = {"valid": "verified", "invalid": "invalid", "no answer": "unanswered"}


def check_list(lines, doc, code):
    rows = [line.split(None, 2) for line in lines[1:]]  # unpacked, stream, name
    want = [{"name": n, "unpacked_size": int(u), "stored_size": int(s)} for u, s, n in rows]
    got = [{k: e[k] for k in ("name", "unpacked_size", "stored_size")} for e in doc["entries"]]
    yield got == want, f"entries {got} != {want}"
    yield doc["sound"] == (code == 0), f"sound {doc['sound']} with exit {code}"
    yield (doc["problems"] == []) == doc["sound"], f"problems {doc['problems']}"
    yield all(e["inflated_size"] == e["unpacked_size"] for e in doc["entries"]) or not doc["sound"], \
        "an entry of another size in a sound package"


def check_check(lines, doc, code):
    servers = doc["servers"]
    rows = [line.split("  ") for line in lines]  # url, outcome, detail, "N ms", verdict
    yield [s["url"] for s in servers] == [r[0] for r in rows], "the servers or their order differ"
    urls = [r[0] for r in rows]
    for row, server in zip(rows, servers):
        url, outcome, detail, _, verdict = row
        yield server["verdict"] == VERDICTS[verdict], f"{url}: {server['verdict']} / {verdict}"
        yield (server["error"] is None) == (outcome == "answered"), f"{url}: {server['error']}"
        # A URL listed twice is asked twice at once; which request the server takes first is not
        # fixed, so only its verdict and outcome are compared.
        if urls.count(url) == 1:
            shown = f"HTTP {server['status']}" if server["error"] is None else server["error"]
            yield shown == detail, f"{url}: '{shown}' / '{detail}'"
    verified = sum(s["verdict"] == "verified" for s in servers)
    yield doc["verified"] == verified, f"verified {doc['verified']}, counted {verified}"
    yield doc["all_verified"] == (code == 0), f"all_verified {doc['all_verified']} with exit {code}"


def check_fingerprint(lines, doc, code):
    yield [doc["fingerprint"]] == lines, f"{doc['fingerprint']} / {lines}"


def check_answer(lines, doc, code):
    yield code == 0 and lines[0] == doc["answer_file"], f"{doc['answer_file']} / {lines}"
    yield lines[1].strip() == (f"fingerprint {doc['fingerprint']}, answer {doc['answer_bytes']} "
                               "bytes, verified"), f"{doc} / {lines}"
    yield doc["verified"] and doc["written"], f"{doc}"


def main():
    command, text_file, json_file, code = sys.argv[1:5]
    lines = [line.rstrip("\r") for line in open(text_file, encoding="utf-8").read().splitlines()]
    try:
        doc = json.load(open(json_file, encoding="utf-8"))
    except ValueError as e:
        sys.exit(f"qor {command} --json: not JSON ({e}): {open(json_file).read()!r}")
    check = {"list": check_list, "check": check_check, "fingerprint": check_fingerprint,
             "answer": check_answer}[command]
    failed = [message for ok, message in check(lines, doc, int(code)) if not ok]
    for message in failed:
        print(f"qor {command} --json: {message}", file=sys.stderr)
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
