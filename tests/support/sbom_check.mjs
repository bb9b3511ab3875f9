// The software bill of materials against CycloneDX 1.6's own JSON schema, which CycloneDX's
// library carries, read by a validator that interprets it (the library's own, ajv, spends a
// second of CPU compiling it); each licence expression as SPDX reads it; and each SHA-256 it
// gives against its file. So that no check passes whatever it reads, the same SBOM broken in one
// way at a time must fail with what each check says of it. Prints what is wrong.
//   node sbom_check.mjs <node_modules> <SBOM> <folder>...   (the folders its files are in)
import {createHash} from "node:crypto";
import {existsSync, readFileSync} from "node:fs";
import {createRequire} from "node:module";
import {resolve} from "node:path";

const [modules, sbom, ...folders] = process.argv.slice(2);
const require = createRequire(resolve(modules) + "/");
const {Validator} = require("@cfworker/json-schema");
const parse = require("spdx-expression-parse");
const schemas = `${modules}/@cyclonedx/cyclonedx-library/res/schema`;
const read = (name) => JSON.parse(readFileSync(`${schemas}/${name}.SNAPSHOT.schema.json`, "utf8"));
const validator = new Validator(read("bom-1.6"), "7", false);
for (const name of ["spdx", "cryptography-defs", "jsf-0.82"]) {
  validator.addSchema(read(name), `http://cyclonedx.org/schema/${name}.SNAPSHOT.schema.json`);
}
const sha256 = (file) => createHash("sha256").update(readFileSync(file)).digest("hex");

function problems(bom) {
  const found = validator.validate(bom).errors.map((e) => `${e.instanceLocation}: ${e.error}`);
  for (const part of [bom.metadata?.component, ...(bom.components ?? [])].filter(Boolean)) {
    for (const {expression} of part.licenses ?? []) {
      try {
        parse(expression);
      } catch {
        found.push(`${part.name}: ${expression} is no SPDX expression`);
      }
    }
    for (const {content} of part.hashes ?? []) {
      const file = folders.map((folder) => `${folder}/${part.name}`).find(existsSync);
      if (!file || sha256(file) !== content) found.push(`${part.name}: ${content} is not its SHA-256`);
    }
  }
  // Tools that tell components apart by package URL would merge two that share one.
  const urls = (bom.components ?? []).map((part) => part.purl).filter(Boolean);
  for (const url of urls.filter((url, at) => urls.indexOf(url) !== at)) found.push(`${url} names two components`);
  return found;
}

const cases = [  // how the SBOM is broken, and what the check must then say of it
  ["as built", () => {}, null],
  ["a component without its name", (bom) => delete bom.components.at(-1).name, 'required property "name"'],
  ["a download's hash another's", (bom) => (bom.components[0].hashes = bom.components[1].hashes), "is not its SHA-256"],
  ["two components with one package URL", (bom) => (bom.components.at(-1).purl = bom.components.at(-2).purl),
   "names two components"],
  ["a licence that SPDX does not name", (bom) => (bom.components.at(-1).licenses[0].expression = "GPL-3+"),
   "is no SPDX expression"],
];
const text = readFileSync(sbom, "utf8");
let failed = false;
for (const [what, breakIt, expected] of cases) {
  const bom = JSON.parse(text);
  breakIt(bom);
  const said = problems(bom).join("\n");
  if (expected === null ? said : !said.includes(expected)) {
    console.log(`${sbom}, ${what}: ${said || "nothing found wrong"}`);
    failed = true;
  }
}
process.exit(failed ? 1 : 0);
