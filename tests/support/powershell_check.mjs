// Reads every PowerShell script of the repository, and every PowerShell step of its workflows,
// with a PowerShell grammar (tree-sitter-powershell), and prints what it cannot read, and where.
// Windows PowerShell 5.1 runs the scripts too, so syntax that only PowerShell 7 knows, such as
// `??`, counts as an error. A workflow step of more than one statement must also stop when a
// program it runs fails, which PowerShell does not do by itself.
//   node powershell_check.mjs <node_modules folder> <source folder>
import {createRequire} from "node:module";
import {readFileSync, readdirSync} from "node:fs";
import {join, relative, resolve} from "node:path";
import v8 from "node:v8";

// The grammar's lexer is one huge function, which V8's optimising compiler takes seconds over,
// for a few milliseconds of parsing; its baseline compiler alone is enough.
v8.setFlagsFromString("--liftoff-only");

const [modules, source] = process.argv.slice(2);
const require = createRequire(join(resolve(modules), "/"));
const {Parser, Language} = require("web-tree-sitter");
const YAML = require("yaml");
await Parser.init();
const parser = new Parser();
parser.setLanguage(await Language.load(require.resolve("tree-sitter-powershell/tree-sitter-powershell.wasm")));

// Every .ps1 outside the build folders and the version control's own.
function* scripts(folder) {
  for (const entry of readdirSync(folder, {withFileTypes: true})) {
    const path = join(folder, entry.name);
    if (entry.isDirectory() && !/^(\.git|node_modules|build.*)$/.test(entry.name)) yield* scripts(path);
    else if (entry.isFile() && entry.name.endsWith(".ps1")) yield [relative(source, path), readFileSync(path, "utf8")];
  }
}

// Every run: block that GitHub hands to pwsh or powershell, which a Windows runner does by default.
function* steps(folder) {
  for (const name of readdirSync(folder).filter((file) => file.endsWith(".yml"))) {
    const workflow = YAML.parse(readFileSync(join(folder, name), "utf8"));
    for (const [id, job] of Object.entries(workflow.jobs)) {
      const windows = String(job["runs-on"]).startsWith("windows");
      for (const [index, step] of (job.steps || []).entries()) {
        const shell = step.shell || job.defaults?.run?.shell || workflow.defaults?.run?.shell || (windows ? "pwsh" : "bash");
        if (step.run && /^(pwsh|powershell)\b/.test(shell)) yield [`${name}, job ${id}, step ${index + 1}`, step.run];
      }
    }
  }
}

function errors(tree) {
  const found = [];
  const walk = (node) => {
    if (node.isError || node.isMissing) found.push(`line ${node.startPosition.row + 1}: cannot read "${node.text.slice(0, 40)}"`);
    else node.children.forEach(walk);
  };
  walk(tree.rootNode);
  return found;
}

// The statements of a step, and whether it starts by making a failing program stop it.
const stopsOnFailure = /^\$PSNativeCommandUseErrorActionPreference\s*=\s*\$true$/i;
function unguarded(tree) {
  const statements = tree.rootNode.namedChildren.flatMap((node) => node.type === "statement_list" ? node.namedChildren : [node])
    .filter((node) => node.type !== "comment");
  return statements.length > 1 && !stopsOnFailure.test(statements[0].text.trim())
    ? ["more than one statement, without $PSNativeCommandUseErrorActionPreference = $true first"] : [];
}

const sources = [
  ...[...scripts(source)].map(([what, text]) => ({what, text, checks: [errors]})),
  ...[...steps(join(source, ".github/workflows"))].map(([what, text]) => ({what, text, checks: [errors, unguarded]})),
];
let failed = sources.length === 0;
if (failed) console.log(`no PowerShell found in ${source}`);
for (const {what, text, checks} of sources) {
  const tree = parser.parse(text);
  for (const problem of checks.flatMap((check) => check(tree))) {
    console.log(`${what}: ${problem}`);
    failed = true;
  }
}
process.exit(failed ? 1 : 0);
