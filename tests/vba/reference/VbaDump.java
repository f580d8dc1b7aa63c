// Prints what Apache POI's VBAMacroReader reads of a workbook's VBA project: one line per
// module, its name, its kind and its source with backslash, tab, CR and LF escaped.
import java.io.File;
import java.util.Map;
import java.util.TreeMap;

import org.apache.poi.poifs.macros.Module;
import org.apache.poi.poifs.macros.VBAMacroReader;

public class VbaDump {
    static String esc(String s) {
        return s.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r");
    }

    public static void main(String[] args) throws Exception {
        try (VBAMacroReader reader = new VBAMacroReader(new File(args[0]))) {
            Map<String, Module> modules = new TreeMap<>(reader.readMacroModules());
            for (Map.Entry<String, Module> entry : modules.entrySet()) {
                Module module = entry.getValue();
                System.out.println(esc(entry.getKey()) + "\t" + module.geModuleType() + "\t" + esc(module.getContent()));
            }
        }
    }
}
