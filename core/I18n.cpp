#include "I18n.hpp"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>

#include "Metric.hpp"

namespace sapwell {

namespace {

using Row = std::array<std::string_view, 4>;

// Four texts name the platform the application runs on; each build shows its own.
#if defined(__APPLE__)
constexpr Row revealTexts{
    "Click to reveal in Finder",
    "Клик — показать в Finder",
    "Klicken, um im Finder zu zeigen",
    "点击在访达中显示",
};
constexpr Row systemProcessTexts{
    "macOS system process — no separate app",
    "Системный процесс macOS — отдельного приложения нет",
    "macOS-Systemprozess — keine eigene App",
    "macOS 系统进程 — 无独立应用",
};
constexpr Row commandLineTexts{
    "Command-line or background program — no app bundle found",
    "Программа командной строки или фоновая — пакет приложения не найден",
    "Kommandozeilen- oder Hintergrundprogramm — kein App-Paket gefunden",
    "命令行或后台程序 — 未找到应用包",
};
constexpr Row cpuProxyTexts{
    "CPU time proxy: this Mac does not expose per-app energy data",
    "Время CPU вместо энергии: этот Mac не отдаёт энергометрики по приложениям",
    "CPU-Zeit als Ersatzwert: Dieser Mac liefert keine Energiewerte je App",
    "CPU 时间替代值：此 Mac 不提供按应用的能耗数据",
};
#else
constexpr Row revealTexts{
    "Click to show in the file manager",
    "Клик — показать в файловом менеджере",
    "Klicken, um im Dateimanager zu zeigen",
    "点击在文件管理器中显示",
};
constexpr Row systemProcessTexts{
    "Linux system services — no separate app",
    "Системные службы Linux — отдельного приложения нет",
    "Linux-Systemdienste — keine eigene App",
    "Linux 系统服务 — 无独立应用",
};
constexpr Row commandLineTexts{
    "Command-line or background program — no desktop entry found",
    "Программа командной строки или фоновая — ярлык приложения не найден",
    "Kommandozeilen- oder Hintergrundprogramm — kein Desktop-Eintrag gefunden",
    "命令行或后台程序 — 未找到桌面条目",
};
constexpr Row cpuProxyTexts{
    "CPU time proxy: this computer does not expose per-app energy data",
    "Время CPU вместо энергии: этот компьютер не отдаёт энергометрики по приложениям",
    "CPU-Zeit als Ersatzwert: Dieser Computer liefert keine Energiewerte je App",
    "CPU 时间替代值：此计算机不提供按应用的能耗数据",
};
#endif

// One row per key, in the order of S; columns in the order of Lang.
// clang-format off
constexpr std::array<Row, stringKeyCount> rows{{
    /* percentPerHour */ Row{"%/h", "%/ч", "%/h", "%/小时"},
    /* percentOfBattery */ Row{"% of battery", "% батареи", "% des Akkus", "% 电量"},
    /* lessThanTenth */ Row{"<0.1% of battery", "<0.1% батареи", "<0.1% des Akkus", "<0.1% 电量"},
    /* watt */ Row{"W", "Вт", "W", "瓦"},
    /* milliwatt */ Row{"mW", "мВт", "mW", "毫瓦"},
    /* wattHour */ Row{"Wh", "Вт·ч", "Wh", "瓦时"},
    /* joule */ Row{"J", "Дж", "J", "焦"},
    /* cpuHours */ Row{"CPU hours", "ч CPU", "CPU-Std.", "CPU 小时"},
    /* cpuMinutes */ Row{"CPU min", "мин CPU", "CPU-Min.", "CPU 分钟"},
    /* cpuSeconds */ Row{"CPU s", "с CPU", "CPU-Sek.", "CPU 秒"},
    /* day */ Row{"days", "дн.", "Tage", "天"},
    /* hour */ Row{"h", "ч", "Std.", "小时"},
    /* minute */ Row{"min", "мин", "Min.", "分钟"},
    /* second */ Row{"s", "с", "Sek.", "秒"},
    /* metricEnergy */ Row{"energy", "энергия", "Energie", "能耗"},
    /* metricCPUTime */ Row{"CPU time", "CPU-время", "CPU-Zeit", "CPU 时间"},
    /* now */ Row{"Now", "Сейчас", "Jetzt", "当前"},
    /* window15m */ Row{"15 minutes", "15 минут", "15 Minuten", "15 分钟"},
    /* window30m */ Row{"30 minutes", "30 минут", "30 Minuten", "30 分钟"},
    /* window1h */ Row{"1 hour", "1 час", "1 Stunde", "1 小时"},
    /* window24h */ Row{"24 hours", "24 часа", "24 Stunden", "24 小时"},
    /* noDataYet */ Row{"no data yet", "данных пока нет", "noch keine Daten", "暂无数据"},
    /* noActivity */ Row{"no activity", "нет активности", "keine Aktivität", "无活动"},
    /* activeFor */ Row{"active", "активно", "aktiv", "活跃"},
    /* runtimeEstimate */ Row{
        "at most {t} on processes alone (screen excluded)",
        "не больше {t} на одних процессах (без экрана)",
        "höchstens {t} allein durch Prozesse (ohne Display)",
        "仅进程最多可用 {t}（不含屏幕）",
    },
    /* batteryCapacity */ Row{"Battery capacity", "Ёмкость батареи", "Akkukapazität", "电池容量"},
    /* noBattery */ Row{
        "no battery, metric",
        "нет батареи, метрика",
        "kein Akku, Metrik",
        "无电池，指标",
    },
    /* collected */ Row{"Collected", "Собрано", "Erfasst", "已收集"},
    /* openChart */ Row{"Open Chart…", "Открыть график…", "Diagramm öffnen…", "打开图表…"},
    /* quit */ Row{"Quit", "Выйти", "Beenden", "退出"},
    /* clickToReveal */ revealTexts,
    /* systemProcess */ systemProcessTexts,
    /* unknown */ Row{"unknown", "неизвестно", "unbekannt", "未知"},
    /* chartWindowTitle */ Row{
        "Sapwell — Battery Usage",
        "Sapwell — расход батареи",
        "Sapwell — Akkuverbrauch",
        "Sapwell — 电池消耗",
    },
    /* chartWindowTitleCPU */ Row{
        "Sapwell — CPU Activity",
        "Sapwell — активность CPU",
        "Sapwell — CPU-Aktivität",
        "Sapwell — CPU 活动",
    },
    /* chartTitle */ Row{
        "Battery usage by app",
        "Расход батареи по приложениям",
        "Akkuverbrauch nach App",
        "各应用电池消耗",
    },
    /* chartTitleCPU */ Row{
        "CPU activity by app",
        "Активность CPU по приложениям",
        "CPU-Aktivität nach App",
        "各应用 CPU 活动",
    },
    /* chartCollected */ Row{"Minutes collected", "Собрано минут", "Minuten erfasst", "已采集分钟"},
    /* chartUpdated */ Row{"updated", "обновлено", "aktualisiert", "更新于"},
    /* chartInPercent */ Row{
        "values in % of charge",
        "значения в % заряда",
        "Werte in % der Ladung",
        "数值为电量百分比",
    },
    /* chartInJoules */ Row{"values in joules", "значения в джоулях", "Werte in Joule", "数值为焦耳"},
    /* chartInCPU */ Row{
        "CPU time, not battery power",
        "время CPU, не мощность батареи",
        "CPU-Zeit, keine Akkuleistung",
        "CPU 时间，不是电池功率",
    },
    /* cpuProxy */ cpuProxyTexts,
    /* viewMode */ Row{"View", "Вид", "Ansicht", "视图"},
    /* viewStacked */ Row{"Stacked", "Накопительно", "Gestapelt", "堆叠"},
    /* viewLines */ Row{"Lines", "Линии", "Linien", "折线"},
    /* smoothing */ Row{"Smoothing", "Сглаживание", "Glättung", "平滑"},
    /* min1 */ Row{"1 min", "1 мин", "1 Min.", "1 分钟"},
    /* min5 */ Row{"5 min", "5 мин", "5 Min.", "5 分钟"},
    /* min15 */ Row{"15 min", "15 мин", "15 Min.", "15 分钟"},
    /* hideAll */ Row{"Hide all", "Скрыть все", "Alle ausblenden", "全部隐藏"},
    /* showAll */ Row{"Show all", "Показать все", "Alle einblenden", "全部显示"},
    /* colApp */ Row{"App", "Приложение", "App", "应用"},
    /* colTotal */ Row{"Total", "Всего за период", "Gesamt", "总计"},
    /* colAvgRate */ Row{"Average rate", "Средняя скорость", "Durchschnitt", "平均速率"},
    /* colPeak */ Row{"Peak", "Пик", "Spitze", "峰值"},
    /* colShare */ Row{"Share", "Доля", "Anteil", "占比"},
    /* other */ Row{"other", "прочие", "andere", "其他"},
    /* noData */ Row{"No data", "Нет данных", "Keine Daten", "无数据"},
    /* appNotFound */ Row{
        "System process or app not found",
        "Системный процесс или приложение не найдено",
        "Systemprozess oder App nicht gefunden",
        "系统进程或未找到应用",
    },
    /* tooltipReveal */ revealTexts,
    /* batteryLevel */ Row{"Battery level", "Уровень заряда", "Akkustand", "电池电量"},
    /* stateDischarging */ Row{"Discharging", "Разряд", "Entladen", "放电"},
    /* stateCharging */ Row{"Charging", "Зарядка", "Laden", "充电"},
    /* stateACPower */ Row{"AC power (full)", "Сеть (полная)", "Netzbetrieb", "交流电源"},
    /* batNoData */ Row{
        "Battery data will appear after a few minutes",
        "Данные появятся через несколько минут",
        "Daten erscheinen nach einigen Minuten",
        "几分钟后显示数据",
    },
    /* unitWatt */ Row{"W", "Вт", "W", "瓦"},
    /* unitPctPerHourShort */ Row{"%/h", "%/ч", "%/h", "%/小时"},
    /* unitCPUSecondsPerMinute */ Row{"CPU s/min", "с CPU/мин", "CPU-Sek./Min.", "CPU 秒/分钟"},
    /* unitMilliwatt */ Row{"mW", "мВт", "mW", "毫瓦"},
    /* unitMicrowatt */ Row{"µW", "мкВт", "µW", "微瓦"},
    /* unitWattHour */ Row{"Wh", "Вт·ч", "Wh", "瓦时"},
    /* unitMilliwattHour */ Row{"mWh", "мВт·ч", "mWh", "毫瓦时"},
    /* unitMicrowattHour */ Row{"µWh", "мкВт·ч", "µWh", "微瓦时"},
    /* period */ Row{"Period", "Период", "Zeitraum", "时间范围"},
    /* period1h */ Row{"1h", "1ч", "1 Std.", "1小时"},
    /* period6h */ Row{"6h", "6ч", "6 Std.", "6小时"},
    /* period1d */ Row{"1d", "1д", "1 Tag", "1天"},
    /* period1w */ Row{"1w", "1н", "1 Wo.", "1周"},
    /* periodAll */ Row{"All", "Всё", "Alle", "全部"},
    /* idleAndScreen */ Row{"Idle and screen", "Простой и экран", "Leerlauf und Bildschirm", "空闲与屏幕"},
    /* drainShared */ Row{
        "Estimate: the battery's measured drain, shared out by each app's CPU time",
        "Оценка: измеренный расход батареи, разделённый по времени CPU приложений",
        "Schätzung: gemessener Akkuverbrauch, nach der CPU-Zeit jeder App aufgeteilt",
        "估算：实测电池耗电按各应用的 CPU 时间分摊",
    },
    /* runtimeMeasured */ Row{
        "about {t} left at this rate",
        "осталось около {t} при таком расходе",
        "noch etwa {t} bei diesem Verbrauch",
        "按此速率约剩 {t}",
    },
    /* onBatteryFor */ Row{
        "On battery {t}: {p} used",
        "От батареи {t}: израсходовано {p}",
        "Im Akkubetrieb {t}: {p} verbraucht",
        "使用电池 {t}：已用 {p}",
    },
    /* lastSleep */ Row{
        "Last sleep {t}: {p} used, {r}",
        "Последний сон {t}: израсходовано {p}, {r}",
        "Letzter Ruhezustand {t}: {p} verbraucht, {r}",
        "上次睡眠 {t}：已用 {p}，{r}",
    },
    /* viewCPU */ Row{"CPU", "CPU", "CPU", "CPU"},
    /* viewBattery */ Row{"Battery", "Батарея", "Akku", "电池"},
    /* measure */ Row{"Measure", "Показатель", "Messgröße", "度量"},
    // The terminal view's keys, as each keyboard labels them.
    /* scrollKeys */ Row{
        "↑↓ PgUp PgDn Home End scroll",
        "↑↓ PgUp PgDn Home End — прокрутка",
        "↑↓ Bild↑ Bild↓ Pos1 Ende blättern",
        "↑↓ PgUp PgDn Home End 滚动",
    },
    /* historyNotSaved */ Row{
        "History not saved: {r}",
        "История не сохраняется: {r}",
        "Verlauf wird nicht gespeichert: {r}",
        "历史记录未保存：{r}",
    },
    /* historySavedAgain */ Row{
        "History saved again",
        "История снова сохраняется",
        "Verlauf wird wieder gespeichert",
        "历史记录已恢复保存",
    },
    /* historyTooLarge */ Row{
        "History file larger than {n} MB: only its last {n} MB are read, and it is not compacted",
        "Файл истории больше {n} МБ: читаются только последние {n} МБ, и он не сжимается",
        "Verlaufsdatei größer als {n} MB: nur die letzten {n} MB werden gelesen, und sie wird nicht verdichtet",
        "历史文件大于 {n} MB：仅读取最后 {n} MB，且不压缩",
    },
    /* minutesNotSaved */ Row{"{n} min not written", "не записано минут: {n}", "{n} Min. nicht geschrieben", "{n} 分钟未写入"},
    /* faultNotRegular */ Row{"not a regular file", "это не обычный файл", "keine reguläre Datei", "不是普通文件"},
    /* faultNotOwned */ Row{
        "the file belongs to another user",
        "файл принадлежит другому пользователю",
        "die Datei gehört einem anderen Benutzer",
        "文件属于其他用户",
    },
    /* faultDiskFull */ Row{"disk full", "диск заполнен", "Datenträger voll", "磁盘已满"},
    /* faultReadOnly */ Row{"read-only", "только для чтения", "schreibgeschützt", "只读"},
    /* faultDenied */ Row{"permission denied", "доступ запрещён", "Zugriff verweigert", "权限被拒绝"},
    /* faultFailed */ Row{"write error", "ошибка записи", "Schreibfehler", "写入错误"},
    /* faultOtherInstance */ Row{
        "another Sapwell writes it",
        "его записывает другой Sapwell",
        "ein anderes Sapwell schreibt ihn",
        "另一个 Sapwell 正在写入",
    },
    /* faultNotLocked */ Row{"cannot lock it", "не удаётся заблокировать", "keine Sperre möglich", "无法加锁"},
    /* faultNoFolder */ Row{"no data folder", "нет папки данных", "kein Datenordner", "没有数据文件夹"},
    /* cpuPercentMeaning */ Row{
        "% of one core; 200% = 2 cores busy",
        "% от одного ядра; 200% = 2 ядра заняты",
        "% eines Kerns; 200% = 2 Kerne ausgelastet",
        "单个核心的百分比；200% = 2 个核心满载",
    },
    /* commandLineProgram */ commandLineTexts,
    /* noTraySummary */ Row{"Sapwell is running", "Sapwell работает", "Sapwell läuft", "Sapwell 正在运行"},
    /* noTrayBody */ Row{
        "This desktop shows no tray indicators. Start Sapwell again from the applications menu to "
        "open its chart; in a terminal, {c} show the figures.",
        "Этот рабочий стол не показывает значки в области уведомлений. Запустите Sapwell ещё раз "
        "из меню приложений, чтобы открыть график; в терминале цифры покажут команды {c}.",
        "Diese Arbeitsoberfläche zeigt keine Statussymbole an. Starten Sie Sapwell erneut aus dem "
        "Anwendungsmenü, um das Diagramm zu öffnen; im Terminal zeigen {c} die Zahlen.",
        "此桌面不显示托盘指示器。从应用程序菜单再次启动 Sapwell 即可打开图表；在终端中，{c} 可查看数据。",
    },
}};
// clang-format on

constexpr std::array<S, stringKeyCount> makeKeys() {
    std::array<S, stringKeyCount> keys{};
    for (std::size_t i = 0; i < stringKeyCount; ++i) keys[i] = static_cast<S>(i);
    return keys;
}

constexpr std::array<S, stringKeyCount> keys = makeKeys();

static_assert(static_cast<std::size_t>(S::noTrayBody) + 1 == stringKeyCount, "every key has a row");

// The table column of a language; a corrupt value reads as English rather than out of bounds.
std::size_t column(Lang lang) {
    const auto index = static_cast<std::size_t>(static_cast<Lang::Value>(lang));
    return index < 4 ? index : 0;
}

// The language part of a POSIX locale name: "de_DE.UTF-8@euro" -> "de".
std::string_view localeLanguage(std::string_view locale) {
    return locale.substr(0, locale.find_first_of("_.@"));
}

}  // namespace

const std::array<Lang, 4> Lang::all = {Lang::en, Lang::ru, Lang::de, Lang::zh};

std::string_view Lang::htmlCode() const {
    constexpr std::array<std::string_view, 4> codes{"en", "ru", "de", "zh"};
    return codes[column(*this)];
}

std::string_view Lang::jsLocale() const {
    constexpr std::array<std::string_view, 4> locales{"en-US", "ru-RU", "de-DE", "zh-CN"};
    return locales[column(*this)];
}

std::optional<Lang> Lang::from(std::string_view code) {
    // The first non-empty piece between "-" and "_" separators names the language.
    const std::size_t start = code.find_first_not_of("-_");
    if (start == std::string_view::npos) return std::nullopt;
    code.remove_prefix(start);
    const std::string_view first = code.substr(0, code.find_first_of("-_"));
    if (first == "en") return Lang(en);
    if (first == "ru") return Lang(ru);
    if (first == "de") return Lang(de);
    if (first == "zh") return Lang(zh);
    return std::nullopt;
}

Lang Lang::detect(const Environment& env) {
    if (auto forced = env.get("SAPWELL_LANG")) {
        if (auto lang = from(*forced)) return *lang;
    }
    const std::string locale = env.localeName();
    // "C" and "POSIX" (also "C.UTF-8") name no language and fall through to English.
    return from(localeLanguage(locale)).value_or(Lang(en));
}

const std::array<S, stringKeyCount>& allKeys() {
    return keys;
}

const Row& table(S key) {
    const auto index = static_cast<std::size_t>(key);
    return rows[index < stringKeyCount ? index : static_cast<std::size_t>(S::unknown)];
}

std::string_view t(Lang lang, S key) {
    return table(key)[column(lang)];
}

std::string readingLocale(const Environment& env) {
    const Lang lang = Lang::detect(env);
    std::string locale = env.localeName();
    if (Lang::from(localeLanguage(locale)) == lang) return locale;
    std::string own(lang.jsLocale());  // "ru-RU" as a POSIX name
    std::replace(own.begin(), own.end(), '-', '_');
    return own;
}

std::string_view Metric::title(Lang lang) const {
    return t(lang, value_ == energy ? S::metricEnergy : S::metricCPUTime);
}

}  // namespace sapwell
