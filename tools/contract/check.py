#!/usr/bin/python3
"""Holds the MQTT publication trace of a test run against the topic contract.

Usage: check.py [--contract docs/contract/asyncapi.yaml] <trace folder>

The trace folder holds one <pid>.jsonl file per process that published with PERNIX_MQTT_TRACE
set (src/Common/MqttClient.cpp): one JSON line per publication or will, with "client", "topic",
"payload" (or "base64"), "retain" and "will". Every record on a topic under "velt/" must match a
channel of the contract, come from the right side where the client tells (the program publishes
on `subscribe` channels, the simulator on `publish` ones), and carry a payload that one of the
channel's messages accepts: JSON validated against its schema, or the raw text for messages of
content type text/plain. Identical (topic, payload) pairs are checked once.

Exits 1 on any failure, on an invalid schema in the contract, or when the trace is empty.
Run by /usr/bin/python3 (Debian's python3-yaml and python3-jsonschema).
"""

import argparse
import base64
import collections
import glob
import json
import os
import re
import sys

import jsonschema
import yaml

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_CONTRACT = os.path.join(HERE, "..", "..", "docs", "contract", "asyncapi.yaml")

# Who published, from the client id: the program (also a core built inside a test) is
# "Pernix_<pid>"; the simulator is "pernix-simulator_<pid>" as a process, "simulator" inside a
# test and "storyboard-simulator" in the storyboard. Any other client (a test's own) is not
# judged by side.
PROGRAM = re.compile(r"^Pernix_[0-9]+$")
SIMULATOR = re.compile(r"^(pernix-simulator_[0-9]+|simulator|storyboard-simulator)$")


def side_of(client):
    if PROGRAM.match(client):
        return "program"
    if SIMULATOR.match(client):
        return "simulator"
    return None


def excerpt(text, limit=160):
    if isinstance(text, bytes):
        text = repr(text)
    text = text.replace("\n", " ")
    return text if len(text) <= limit else text[:limit] + "..."


class Contract:
    def __init__(self, path):
        with open(path, encoding="utf-8") as f:
            self.document = yaml.safe_load(f)
        self.resolver = jsonschema.RefResolver("", self.document)
        self.errors = []
        self.channels = {}  # topic -> {"publish": [messages], "subscribe": [messages]}
        for name, channel in (self.document.get("channels") or {}).items():
            entry = {}
            for operation in ("publish", "subscribe"):
                if operation in channel:
                    entry[operation] = self.messages(name, channel[operation])
            if not entry:
                self.errors.append(f"channel {name}: neither publish nor subscribe")
            self.channels[name] = entry
        self.check_schemas()

    def resolve(self, node):
        while isinstance(node, dict) and "$ref" in node:
            node = self.resolver.resolve(node["$ref"])[1]
        return node

    def messages(self, channel, operation):
        message = self.resolve(operation.get("message"))
        if not isinstance(message, dict):
            self.errors.append(f"channel {channel}: no message")
            return []
        listed = message.get("oneOf", [message])
        result = []
        binding = ((operation.get("bindings") or {}).get("mqtt") or {})
        for m in listed:
            m = self.resolve(m)
            content = m.get("contentType", self.document.get("defaultContentType"))
            will = m.get("x-will")  # the will's own QoS and retain flag
            result.append({"name": m.get("name", "?"), "text": content == "text/plain",
                           "will": bool(will), "payload": m.get("payload", {}),
                           "retain": (will or binding).get("retain")})
        return result

    def check_schemas(self):
        schemas = dict((self.document.get("components") or {}).get("schemas") or {})
        for topic, entry in self.channels.items():
            for operation, messages in entry.items():
                for m in messages:
                    schemas[f"{topic} ({operation}) {m['name']}"] = m["payload"]
        for name, schema in schemas.items():
            try:
                jsonschema.Draft7Validator.check_schema(schema)
            except jsonschema.exceptions.SchemaError as e:
                self.errors.append(f"schema {name}: {e.message}")

    def match(self, topic):
        """The channel of a topic. A channel parameter ("{uiBase}", a configurable base topic)
        stands for one or more topic levels, the MQTT wildcards + and # for what they match in
        a filter; a channel named exactly as the topic wins, then the one with the longest
        literal text."""
        if topic in self.channels:
            return topic
        best = None
        for name in self.channels:
            if not re.search(r"[{+#]", name):
                continue
            pattern = re.sub(r"\\\{[^}]*\\\}", "[^#+]+", re.escape(name))
            pattern = pattern.replace(r"\+", "[^/]+").replace(r"\#", ".*")
            if re.fullmatch(pattern, topic):
                literal = len(re.sub(r"\{[^}]*\}|[+#]", "", name))
                if best is None or literal > best[0]:
                    best = (literal, name)
        return best[1] if best else None

    def validate(self, message, text):
        """None when the message accepts the payload text, else the error."""
        if message["text"]:
            instance = text
        else:
            try:
                instance = json.loads(text)
            except ValueError as e:
                return f"not JSON ({e})"
        validator = jsonschema.Draft7Validator(message["payload"], resolver=self.resolver)
        error = jsonschema.exceptions.best_match(validator.iter_errors(instance))
        if error is None:
            return None
        where = "/".join(str(p) for p in error.absolute_path)
        return (f"{message['name']}: {excerpt(error.message, 300)}"
                + (f" at /{where}" if where else ""))


def read_trace(folder):
    records = []
    for path in sorted(glob.glob(os.path.join(folder, "*.jsonl"))):
        with open(path, encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                line = line.strip()
                if not line:
                    continue
                try:
                    records.append(json.loads(line))
                except ValueError:
                    # A process killed in the middle of a write leaves at most its last line cut.
                    print(f"warning: {os.path.basename(path)}:{number}: unreadable trace line")
    return records


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--contract", default=DEFAULT_CONTRACT)
    parser.add_argument("trace", help="folder of <pid>.jsonl trace files")
    args = parser.parse_args()

    contract = Contract(args.contract)
    failures = list(contract.errors)

    records = read_trace(args.trace)
    # (topic, payload text or bytes, side, will, retain) -> clients, so each distinct payload is checked once
    distinct = collections.OrderedDict()
    outside = 0
    for r in records:
        topic = r.get("topic", "")
        if not topic.startswith("velt/"):
            outside += 1
            continue
        # A payload that is not UTF-8 is traced as base64 and checked here as bytes.
        text = base64.b64decode(r["base64"]) if "base64" in r else r.get("payload", "")
        key = (topic, text, side_of(r.get("client", "")), bool(r.get("will")),
               bool(r.get("retain")))
        distinct.setdefault(key, set()).add(r.get("client", ""))

    seen = set()
    for (topic, text, side, will, retain), clients in distinct.items():
        client = ", ".join(sorted(clients)) or "(no id)"
        channel = contract.match(topic)
        head = f"{topic} from {client}"
        if channel is None:
            failures.append(f"{head}: no channel in the contract\n    payload: {excerpt(text)}")
            continue
        seen.add(channel)
        entry = contract.channels[channel]
        if side == "program" and "subscribe" not in entry:
            failures.append(f"{head}: the program publishes on a channel it only receives")
            continue
        if side == "simulator" and "publish" not in entry:
            failures.append(f"{head}: a service publishes on a channel only the program sends")
            continue
        if isinstance(text, bytes):
            failures.append(f"{head}: payload is not UTF-8 text\n    payload: {excerpt(text)}")
            continue
        if side == "program":
            candidates = entry["subscribe"]
        elif side == "simulator":
            candidates = entry["publish"]
        else:
            candidates = entry.get("subscribe", []) + entry.get("publish", [])
        candidates = [m for m in candidates if m["will"] == will]
        if not candidates:
            failures.append(f"{head}: {'a will' if will else 'a publication'} the channel "
                            f"does not document\n    payload: {excerpt(text)}")
            continue
        errors = []
        for m in candidates:
            error = contract.validate(m, text)
            if error is None:
                break
            errors.append(error)
        else:
            failures.append(f"{head}: payload does not validate\n    payload: {excerpt(text)}\n"
                            + "".join(f"    error: {e}\n" for e in errors).rstrip("\n"))
            continue
        if side == "program":
            expected = candidates[0]["retain"]
            if expected is not None and expected != retain:
                failures.append(f"{head}: retain is {retain}, the contract says {expected}")

    unexercised = sorted(set(contract.channels) - seen)
    checked = len(records) - outside
    print(f"Trace records read: {len(records)} ({checked} on velt/ topics, "
          f"{outside} elsewhere, ignored)")
    print(f"Distinct payloads checked: {len(distinct)}")
    print(f"Channels seen: {len(seen)} of {len(contract.channels)} documented")
    if unexercised:
        print("Documented channels no test published on (information only):")
        for name in unexercised:
            print(f"    {name}")
    if checked == 0:
        failures.append(f"the trace in {args.trace} holds nothing on velt/ topics: "
                        "nothing was checked")
    if failures:
        print(f"\n{len(failures)} failure(s):")
        for f in failures:
            print(f"FAIL {f}")
        return 1
    print("Every payload matches the contract.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
