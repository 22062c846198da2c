/* A right-hand side of 100000 terms, written with macros: the C parser
   recurses once per term. */
#define T1 b + b + b + b + b + b + b + b + b + b
#define T2 T1 + T1 + T1 + T1 + T1 + T1 + T1 + T1 + T1 + T1
#define T3 T2 + T2 + T2 + T2 + T2 + T2 + T2 + T2 + T2 + T2
#define T4 T3 + T3 + T3 + T3 + T3 + T3 + T3 + T3 + T3 + T3
#define T5 T4 + T4 + T4 + T4 + T4 + T4 + T4 + T4 + T4 + T4
double a, b;
int main(void)
{
#pragma resource [1][1]
#pragma latency [1][1]
  a = T5;
  return 0;
}
