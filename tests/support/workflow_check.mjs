// Reads GitHub workflows with GitHub's own parser (@actions/workflow-parser), as GitHub does,
// and prints what it finds wrong in them.
//   node workflow_check.mjs <the parser's dist/index.js> <workflow>...
import {register} from "node:module";
import {readFileSync} from "node:fs";
import {pathToFileURL} from "node:url";
// The parser imports its schema as JSON without saying so, which Node.js refuses (18 calls what it
// needs the import's assertions, 20 its attributes).
const key = Number(process.versions.node.split(".")[0]) < 20 ? "importAssertions" : "importAttributes";
const hook = `export function load(url, context, next) {
  return next(url, url.endsWith(".json") ? {...context, ${key}: {type: "json"}} : context);
}`;
register("data:text/javascript," + encodeURIComponent(hook));
const {parseWorkflow, convertWorkflowTemplate, NoOperationTraceWriter} = await import(pathToFileURL(process.argv[2]).href);
let failed = false;
for (const name of process.argv.slice(3)) {
  const parsed = parseWorkflow({name, content: readFileSync(name, "utf8")}, new NoOperationTraceWriter());
  // Converting it into the model runs the checks that the schema alone cannot express.
  await convertWorkflowTemplate(parsed.context, parsed.value);
  for (const error of parsed.context.errors.getErrors()) {
    console.log(`${name}: ${error.message}`);
    failed = true;
  }
}
process.exit(failed ? 1 : 0);
