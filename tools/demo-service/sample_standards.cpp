#include "sample_standards.h"

namespace stdlookup::demo {
namespace {

constexpr const char* kMoh = "中华人民共和国卫生部";
constexpr const char* kNhfpc = "中华人民共和国国家卫生和计划生育委员会";
constexpr const char* kNhfpcCfda =
    "中华人民共和国国家卫生和计划生育委员会 国家食品药品监督管理总局";
constexpr const char* kNhcSamr = "中华人民共和国国家卫生健康委员会 国家市场监督管理总局";
constexpr const char* kNhcMoaSamr =
    "中华人民共和国国家卫生健康委员会 中华人民共和国农业农村部 国家市场监督管理总局";

constexpr SampleStandard kStandards[] = {
    {"GB 2760-2024", "食品安全国家标准 食品添加剂使用标准", true, "2025-02-08", kNhcSamr, true},
    {"GB 2760-2014", "食品安全国家标准 食品添加剂使用标准", false, "2015-05-24", kNhfpc, true},
    {"GB 2760-2011", "食品安全国家标准 食品添加剂使用标准", false, "2011-07-20", kMoh, false},
    {"GB 2761-2017", "食品安全国家标准 食品中真菌毒素限量", true, "2017-09-17", kNhfpcCfda, true},
    {"GB 2762-2022", "食品安全国家标准 食品中污染物限量", true, "2023-06-30", kNhcSamr, true},
    {"GB 2762-2017", "食品安全国家标准 食品中污染物限量", false, "2017-09-17", kNhfpcCfda, false},
    {"GB 2763-2021", "食品安全国家标准 食品中农药最大残留限量", true, "2021-09-03", kNhcMoaSamr,
     true},
    {"GB 2763-2019", "食品安全国家标准 食品中农药最大残留限量", false, "2020-02-15", kNhcMoaSamr,
     false},
    {"GB 7718-2011", "食品安全国家标准 预包装食品标签通则", true, "2012-04-20", kMoh, true},
    {"GB 28050-2011", "食品安全国家标准 预包装食品营养标签通则", true, "2013-01-01", kMoh, true},
    {"GB 14880-2012", "食品安全国家标准 食品营养强化剂使用标准", true, "2013-01-01", kMoh, false},
    {"GB 14881-2013", "食品安全国家标准 食品生产通用卫生规范", true, "2014-06-01", kNhfpc, true},
    {"GB 29921-2021", "食品安全国家标准 预包装食品中致病菌限量", true, "2021-11-22", kNhcSamr,
     true},
    {"GB 29921-2013", "食品安全国家标准 食品中致病菌限量", false, "2014-07-01", kNhfpc, false},
    {"GB 5009.3-2016", "食品安全国家标准 食品中水分的测定", true, "2017-03-01", kNhfpc, true},
    {"GB 5009.5-2016", "食品安全国家标准 食品中蛋白质的测定", true, "2017-03-01", kNhfpc, false},
    {"GB 4789.2-2022", "食品安全国家标准 食品微生物学检验 菌落总数测定", true, "2022-12-30",
     kNhcSamr, true},
    {"GB 4789.2-2016", "食品安全国家标准 食品微生物学检验 菌落总数测定", false, "2017-06-23",
     kNhfpcCfda, false},
    {"GB 19298-2014", "食品安全国家标准 包装饮用水", true, "2015-05-24", kNhfpc, true},
    {"GB 2716-2018", "食品安全国家标准 植物油", true, "2019-12-21", kNhcSamr, false},
    {"GB 19301-2010", "食品安全国家标准 生乳", true, "2010-12-01", kMoh, true},
    {"GB 10765-2021", "食品安全国家标准 婴儿配方食品", true, "2023-02-22", kNhcSamr, true},
    {"GB 10765-2010", "食品安全国家标准 婴儿配方食品", false, "2011-04-01", kMoh, false},
};

}  // namespace

std::span<const SampleStandard> sample_standards() {
  return kStandards;
}

}  // namespace stdlookup::demo
